#!/usr/bin/env bash
# Takes docs/images/form-dialog.png: the HTML form window as Wine draws it under
# Xvfb, opened through kvlhost. Xvfb keeps its screen in a file (-fbdir) that
# scripts/xwd2png.py turns into a PNG, so no screenshot tool is needed. Without
# Wine's HTML engine the page inside stays blank. Not part of `make test`; needs
# a built tree (cmake --build build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${KVL_SHOTS_FB:-}" ]; then
  fb=$(mktemp -d)
  trap 'rm -rf "$fb"' EXIT
  KVL_SHOTS_FB="$fb" xvfb-run -a -s "-screen 0 800x600x24 -fbdir $fb" "$0" "$@"
  exit
fi

export WINEPREFIX="$here/build/wine"
work=$(mktemp -d)
host=""
x11key='HKCU\Software\Wine\X11 Driver'
finish() {
  if [ -n "$host" ]; then kill "$host" 2>/dev/null || true; wait "$host" 2>/dev/null || true; fi
  WINEDEBUG=-all wine reg delete "$x11key" /v Managed /f >/dev/null 2>&1 || true
  wineserver -k 2>/dev/null || true
  # The window was not closed by a user: take the page away as the dialog would.
  rm -f "$WINEPREFIX"/drive_c/users/*/Temp/KVL/KVL_FrmDlg_Doc.html "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/KVL/KVL_FrmDlg_Doc.html
  rm -rf "$work"
}
trap finish EXIT

cat > "$work/order.html" <<'HTML'
<html><body><form method="post" action="">
Name: <input name="name" value="%KVL_DEF:user%">
<input type="submit" name="kvl_frmdlg_ok" value="OK">
<input type="submit" name="kvl_frmdlg_cancel" value="Cancel">
</form></body></html>
HTML
# No window manager runs under Xvfb: unmanaged windows get their frame and
# caption drawn by Wine itself (the setting is taken away again at the end).
WINEDEBUG=-all wine reg add "$x11key" /v Managed /d N /f >/dev/null 2>&1
page=$(WINEDEBUG=-all winepath -w "$work/order.html")
printf '%%KVL_FrmDlgDef(user, Anna)%%KVL_FrmDlg("%s", Order form, 480, 320)\n' "$page" > "$work/form.tpl"

echo "opening the form window ..."
"$here/scripts/wine-run.sh" "$here/build/bin/kvlhost.exe" expand "$work/form.tpl" > "$work/result.txt" 2>&1 &
host=$!
shown=""
for _ in $(seq 1 400); do  # up to 40 s: Wine's first start, then the browser's ready wait
  if xwininfo -name "Order form" 2>/dev/null | grep -q "IsViewable"; then shown=1; break; fi
  sleep 0.1
done
[ -n "$shown" ] || { echo "form-shots: the window did not appear" >&2; cat "$work/result.txt" >&2; exit 1; }
sleep 2  # let Wine finish drawing
mkdir -p "$here/docs/images"
python3 "$here/scripts/xwd2png.py" "$KVL_SHOTS_FB/Xvfb_screen0" "$here/docs/images/form-dialog.png"
