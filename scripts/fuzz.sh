#!/usr/bin/env bash
# Fuzzes one target of the native build: scripts/fuzz.sh TARGET [SECONDS] [LIBFUZZER OPTION]...
# (default an hour). New inputs go to build/native/fuzz/corpus/TARGET beside the
# committed seeds in tests/fuzz/corpus/TARGET; a crash, timeout or leak is written to
# build/native/fuzz/artifacts/TARGET/ and ends the run with a non-zero status.
# ctest's bounded runs come through here too, so the options live in one place.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
targets="encoding_fuzz regex_fuzz args_fuzz textwalk_fuzz template_fuzz date_fuzz extraction_fuzz rules_fuzz html_fuzz"
usage="usage: scripts/fuzz.sh TARGET [SECONDS] [LIBFUZZER OPTION]...   (targets: $targets)"
target=${1:?$usage}
seconds=${2:-3600}
shift $(($# < 2 ? $# : 2))
case " $targets " in *" $target "*) ;; *) echo "$usage" >&2; exit 2 ;; esac

build=${KVL_NATIVE_BUILD:-$here/build/native}
# ctest has built everything already (and runs two targets at once); people have not.
if [ -z "${KVL_FUZZ_BUILT:-}" ]; then
  [ -f "$build/build.ninja" ] || cmake -S "$here/tests/native" -B "$build" -G Ninja >/dev/null
  cmake --build "$build" -j2 --target "$target"
fi

seeds=$here/tests/fuzz/corpus/$target
corpus=$build/fuzz/corpus/$target
artifacts=$build/fuzz/artifacts/$target/
mkdir -p "$corpus" "$artifacts"
options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1
         -artifact_prefix="$artifacts")
[ -f "$here/tests/fuzz/$target.dict" ] && options+=(-dict="$here/tests/fuzz/$target.dict")
exec "$build/$target" "${options[@]}" "$@" "$corpus" "$seeds"
