#!/usr/bin/env bash
# Runs the whole test suite under Wine; windows of dialog tests need a display, so
# everything runs inside one Xvfb session. Then the portable code natively under the
# sanitizers, with bounded fuzzing (scripts/native-test.sh). Fails when either fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/wine-prefix.sh"
cd "$here/build"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j1 "$@" || status=$?
WINEPREFIX="$here/build/wine" wineserver -k 2>/dev/null || true
# Asked to stop at the first failure, a failed Wine part is the answer: the native
# build and its fuzzing (minutes) would add nothing (plant-faults relies on this).
if [ $status -ne 0 ]; then
  for arg in "$@"; do [ "$arg" != --stop-on-failure ] || exit $status; done
fi
native=0
"$here/scripts/native-test.sh" || native=$?
[ $status -ne 0 ] || status=$native
exit $status
