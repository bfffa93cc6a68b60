#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's prefix, quiet and with a
# pinned locale, so results never depend on the machine.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/build/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"

[ -d "$WINEPREFIX" ] || "$here/scripts/wine-prefix.sh" >&2
exec env LC_ALL="${KVL_LOCALE:-en_US.UTF-8}" wine "$@"
