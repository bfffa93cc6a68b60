#!/usr/bin/env python3
"""Writes kvlhost's table of the plug-in's macros (name, least and most argument count, and
the one-line summary of the macro index of docs/macros.md) from the families' rows, in list
order, so that kvlhost need not link the handlers.

    macro-counts.py OUTPUT MACROS.md FAMILY_ROWS.h...

The list order is alphabetical ignoring case, but KVL_PlugPath and KVL_PlugVer first,
KVL_ArgCount and KVL_ArgItem right after KVL_AttrSet, and KVL_Test last (as the plug-in
puts its rows together; a test compares the two tables row by row)."""
import pathlib
import re
import sys

ROW = re.compile(r'MacroRow\{"(KVL_\w+)",\s*macros::\w+,\s*(\w+),\s*(\w+)\}')
SUMMARY = re.compile(r"^- \[(KVL_\w+)\]\(#[\w-]+\): (.+)$", re.M)


def list_place(name):
    if name in ("KVL_PlugPath", "KVL_PlugVer"):
        return (0, name.lower(), 0, "")
    if name == "KVL_Test":
        return (2, name.lower(), 0, "")
    if name in ("KVL_ArgCount", "KVL_ArgItem"):
        return (1, "kvl_attrset", 1, name.lower())
    return (1, name.lower(), 0, "")


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main(output, docs, sources):
    summaries = {}
    for name, summary in SUMMARY.findall(pathlib.Path(docs).read_text(encoding="utf-8")):
        summaries.setdefault(name, summary)
    rows = []
    for source in sources:
        found = ROW.findall(pathlib.Path(source).read_text(encoding="utf-8"))
        if not found:
            sys.exit(f"macro-counts: no rows in {source}")
        rows += found
    names = [name.lower() for name, _, _ in rows]
    if len(set(names)) != len(names):
        sys.exit("macro-counts: a macro name has two rows")
    missing = [name for name, _, _ in rows if name not in summaries]
    if missing:
        sys.exit(f"macro-counts: the macro index of {docs} has no line for {', '.join(missing)}")
    rows.sort(key=lambda row: list_place(row[0]))
    lines = ["// Written by cmake/macro-counts.py from the families' rows: do not edit.",
             "#pragma once", '#include "host/MacroCounts.h"', "", "namespace kvlhost {", "",
             "inline constexpr MacroCounts kPluginMacroCounts[] = {"]
    lines += [f'    {{"{name}", {least}, {most}, {c_string(summaries[name])}}},' for name, least, most in rows]
    lines += ["};", "", "}  // namespace kvlhost", ""]
    text = "\n".join(lines)
    target = pathlib.Path(output)
    if not target.exists() or target.read_text(encoding="utf-8") != text:  # unchanged: nothing rebuilds
        target.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
