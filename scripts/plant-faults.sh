#!/usr/bin/env bash
# Plants the faults of tests/faults/*.patch into the source one at a time, rebuilds,
# runs the test suite and reports whether it caught each one. The source is restored
# after every fault, also when interrupted. A patch that no longer applies is "stale"
# and a planted tree that does not build is "no build"; neither is counted.
#
#   scripts/plant-faults.sh [-R CTEST_REGEX] [--no-baseline] [PATCH...]
#
# -R limits the ctest entries run for each fault; --no-baseline skips the first run
# on the unchanged tree (which makes sure the suite passes before faults are planted).
# Exit status: 0 when every fault was caught, 1 when some were missed, 2 for usage.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

usage() { sed -n '2,11s/^# \{0,1\}//p' "$0" >&2; exit 2; }

ctest_args=()
baseline=1
patches=()
while [ $# -gt 0 ]; do
  case "$1" in
    -R) [ $# -ge 2 ] || usage; ctest_args+=(-R "$2"); shift 2 ;;
    --no-baseline) baseline=0; shift ;;
    -h|--help) usage ;;
    -*) echo "plant-faults: unknown option $1" >&2; usage ;;
    *) patches+=("$1"); shift ;;
  esac
done
if [ ${#patches[@]} -eq 0 ]; then
  # in number order: 9-, 10-, ..., 99-, 100- (a plain glob runs 110- between 11- and 12-)
  mapfile -t patches < <(find tests/faults -maxdepth 1 -name '*.patch' | sort -V)
fi
[ ${#patches[@]} -gt 0 ] || { echo "plant-faults: no patches in tests/faults/" >&2; exit 2; }

# Restoring checks out the patched files, so anything uncommitted there would be lost.
if [ -n "$(git status --porcelain)" ]; then
  echo "plant-faults: the working tree has uncommitted changes; commit or stash them first:" >&2
  git status --short >&2
  exit 2
fi

exec 4>&2  # the terminal, for messages from traps (which run inside redirected jobs)
logs="$root/build/faults"
mkdir -p "$logs"
planted=()  # files the current fault changed
job=""      # the running build or suite: its own process group, ended on interrupt

# Runs a command as a job the traps can end at once (bash runs traps only between commands).
run() {
  set -m
  "$@" &
  job=$!
  set +m
  local status=0
  wait "$job" || status=$?
  job=""
  return $status
}

restore() {
  if [ ${#planted[@]} -gt 0 ]; then
    git checkout -q -- "${planted[@]}"
    planted=()
  fi
}
interrupted() {
  trap - INT TERM
  [ -z "$job" ] || { kill -TERM -- "-$job" 2>/dev/null || true; wait "$job" 2>/dev/null || true; }
  restore
  WINEPREFIX="$root/build/wine" wineserver -k 2>/dev/null || true
  echo >&4
  echo "plant-faults: interrupted; the source is restored (the build tree is not: run make)" >&4
  exit 130
}
trap restore EXIT
trap interrupted INT TERM

build() {
  if [ ! -f build/build.ninja ]; then run cmake --preset default >>"$1" 2>&1 || return 1; fi
  run cmake --build build -j2 >>"$1" 2>&1
}

# Runs the suite; answers 0 when every test passed. A hang counts as a failure.
suite() {
  run scripts/test.sh --stop-on-failure --timeout 600 "${ctest_args[@]}" >>"$1" 2>&1
}

# The test cases that failed, as GoogleTest names them (or the ctest entry).
failed_tests() {
  local names
  names=$(grep -o '^\[  FAILED  \] [A-Za-z0-9_/]*\.[A-Za-z0-9_./]*' "$1" | awk '{print $4}' | sort -u | head -3 | paste -sd' ' -)
  [ -n "$names" ] || names=$(sed -n 's/^[[:space:]]*[0-9]* - \([A-Za-z0-9_]*\) (.*/\1/p' "$1" | sort -u | paste -sd' ' -)
  echo "${names:-?}"
}

if [ $baseline -eq 1 ]; then
  echo "baseline: building and testing the unchanged tree"
  : >"$logs/baseline.log"
  if ! build "$logs/baseline.log" || ! suite "$logs/baseline.log"; then
    echo "plant-faults: the unchanged tree does not pass its tests (see $logs/baseline.log)" >&2
    exit 1
  fi
fi

caught=0 missed=0 stale=0 broken=0
missed_names=()
for patch in "${patches[@]}"; do
  name=$(basename "$patch" .patch)
  what=$(sed -n '1s/^# *//p' "$patch")
  log="$logs/$name.log"
  if ! git apply --check "$patch" 2>/dev/null; then
    printf '%-36s stale      %s\n' "$name" "$what"
    stale=$((stale + 1))
    continue
  fi
  mapfile -t planted < <(git apply --numstat "$patch" | cut -f3)
  git apply "$patch"
  : >"$log"
  if ! build "$log"; then
    printf '%-36s no build   %s\n' "$name" "$what"
    broken=$((broken + 1))
  elif suite "$log"; then
    printf '%-36s MISSED     %s\n' "$name" "$what"
    missed=$((missed + 1))
    missed_names+=("$name")
  else
    printf '%-36s caught     by %s\n' "$name" "$(failed_tests "$log")"
    caught=$((caught + 1))
  fi
  restore
done

echo "rebuilding the unchanged tree"
build "$logs/restore.log" || echo "plant-faults: the restored tree did not build (see $logs/restore.log)" >&2

counted=$((caught + missed))
percent=0
[ $counted -eq 0 ] || percent=$((100 * caught / counted))
echo "caught $caught of $counted ($percent %); missed $missed; stale $stale; no build $broken"
[ $missed -eq 0 ] || { echo "missed: ${missed_names[*]}"; exit 1; }
