#!/usr/bin/env python3
"""Writes kvlhost's table of the plug-in's macros (name, least and most argument count)
from the families' rows, in list order, so that kvlhost need not link the handlers.

    macro-counts.py OUTPUT FAMILY_ROWS.h...

The list order is alphabetical ignoring case, but KVL_PlugPath and KVL_PlugVer first,
KVL_ArgCount and KVL_ArgItem right after KVL_AttrSet, and KVL_Test last (as the plug-in
puts its rows together; a test compares the two tables row by row)."""
import pathlib
import re
import sys

ROW = re.compile(r'MacroRow\{"(KVL_\w+)",\s*macros::\w+,\s*(\w+),\s*(\w+)\}')


def list_place(name):
    if name in ("KVL_PlugPath", "KVL_PlugVer"):
        return (0, name.lower(), 0, "")
    if name == "KVL_Test":
        return (2, name.lower(), 0, "")
    if name in ("KVL_ArgCount", "KVL_ArgItem"):
        return (1, "kvl_attrset", 1, name.lower())
    return (1, name.lower(), 0, "")


def main(output, sources):
    rows = []
    for source in sources:
        found = ROW.findall(pathlib.Path(source).read_text(encoding="utf-8"))
        if not found:
            sys.exit(f"macro-counts: no rows in {source}")
        rows += found
    names = [name.lower() for name, _, _ in rows]
    if len(set(names)) != len(names):
        sys.exit("macro-counts: a macro name has two rows")
    rows.sort(key=lambda row: list_place(row[0]))
    lines = ["// Written by cmake/macro-counts.py from the families' rows: do not edit.",
             "#pragma once", '#include "host/MacroCounts.h"', "", "namespace kvlhost {", "",
             "inline constexpr MacroCounts kPluginMacroCounts[] = {"]
    lines += [f'    {{"{name}", {least}, {most}}},' for name, least, most in rows]
    lines += ["};", "", "}  // namespace kvlhost", ""]
    text = "\n".join(lines)
    target = pathlib.Path(output)
    if not target.exists() or target.read_text(encoding="utf-8") != text:  # unchanged: nothing rebuilds
        target.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
