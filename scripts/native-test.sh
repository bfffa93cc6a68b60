#!/usr/bin/env bash
# The portable code built natively with clang under AddressSanitizer and UBSan
# (build/native): its unit tests, a replay of every committed fuzz input, and a
# bounded run of each fuzz target (scripts/fuzz.sh). Extra arguments go to ctest,
# e.g. -L unit for the unit tests alone.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build/native
[ -f "$build/build.ninja" ] || cmake -S "$here/tests/native" -B "$build" -G Ninja
cmake --build "$build" -j2
cd "$build"
ctest --output-on-failure -j2 "$@"
