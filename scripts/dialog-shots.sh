#!/usr/bin/env bash
# Pictures of every dialog window for docs/dialogs.md, as Wine draws them under Xvfb:
# each window is opened through kvlhost on a private display whose screen Xvfb keeps
# in a file (-fbdir); scripts/xwd2png.py cuts the window out of the black root and
# writes docs/images/NAME.png. No window manager runs, so Wine draws the frames
# itself (its X11 "Managed" setting is switched off for the run and restored after).
# Without Wine's HTML engine the form's page stays blank. Not part of `make test`;
# needs a built tree (cmake --build build). Usage: scripts/dialog-shots.sh [NAME...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${KVL_SHOTS_FB:-}" ]; then
  fb=$(mktemp -d)
  trap 'rm -rf "$fb"' EXIT
  KVL_SHOTS_FB="$fb" xvfb-run -a -s "-screen 0 1024x768x24 -br -fbdir $fb" "$0" "$@"
  exit
fi

export WINEPREFIX="$here/build/wine"
work=$(mktemp -d)
x11key='HKCU\Software\Wine\X11 Driver'
finish() {
  wineserver -k 2>/dev/null || true
  WINEDEBUG=-all wine reg delete "$x11key" /v Managed /f >/dev/null 2>&1 || true
  wineserver -k 2>/dev/null || true
  # The form window was not closed by a user: take its page away as the dialog would.
  rm -f "$WINEPREFIX"/drive_c/users/*/Temp/KVL/KVL_FrmDlg_Doc.html
  rm -rf "$work"
}
trap finish EXIT
WINEDEBUG=-all wine reg add "$x11key" /v Managed /d N /f >/dev/null 2>&1
screen="$KVL_SHOTS_FB/Xvfb_screen0"
mkdir -p "$here/docs/images"

# shot NAME kvlhost-arguments...: opens the window, waits until it is drawn, takes it.
shot() {
  local name=$1
  shift
  if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " == *" $name "* ]]; then return; fi
  echo "$name: opening ..."
  "$here/scripts/wine-run.sh" "$here/build/bin/kvlhost.exe" "$@" >/dev/null 2>&1 &
  local host=$! drawn=""
  for _ in $(seq 1 300); do  # up to 60 s: Wine's first start, the form's ready wait
    sleep 0.2
    if python3 "$here/scripts/xwd2png.py" --lit "$screen"; then drawn=1; break; fi
  done
  if [ -n "$drawn" ]; then
    sleep 2  # let Wine finish drawing
    python3 "$here/scripts/xwd2png.py" --crop "$screen" "$here/docs/images/$name.png"
  else
    echo "$name: no window appeared" >&2
  fi
  wineserver -k 2>/dev/null || true
  wait "$host" 2>/dev/null || true
  sleep 1
}
wanted=("$@")

cat > "$work/order.html" <<'HTML'
<html><body><form method="post" action="">
Name: <input name="name" value="%KVL_DEF:user%">
<input type="submit" name="kvl_frmdlg_ok" value="OK">
<input type="submit" name="kvl_frmdlg_cancel" value="Cancel">
</form></body></html>
HTML
page=$(WINEDEBUG=-all winepath -w "$work/order.html")
printf '%%KVL_FrmDlgDef(user, Anna)%%KVL_FrmDlg("%s", Order form, 480, 320)\n' "$page" > "$work/form.tpl"

shot msgbox call KVL_MsgBox 'Save the changes to the draft?' Editor 'iq,ync,b2'
shot msgbox-captions call KVL_MsgBox 'The message has no subject.' 'Send' 'iw' 0 'Send anyway' 'Add a subject' 'Back'
shot inputbox call KVL_DlgInput 'Your name as it should appear\nunder the reply:' 'Anna Schmidt'
shot dlgopen call KVL_DlgOpen 1 'Attach files' 'C:\windows' 'Text files|*.txt|All files|*.*'
shot dlgfolder call KVL_DlgFolder 'Save the attachments where?' 1 'C:\windows'
shot textdlg call KVL_TextDlg "Reply to the list" \
  "Write the text that goes above the quotation. It may take several lines; the counter below shows how much room is left." \
  'Hello all,\n\nthanks for the quick answers.' 250 "Insert" "Skip"
shot multidlg call KVL_MultiDlg "Attachments" "Choose the files to attach to this message:" 0 \
  'report$X$Quarterly report.pdf|sheet$$Figures.xlsx|photo$x$Team photo.jpg|notes$$Meeting notes.txt' 2
shot form-dialog expand "$work/form.tpl"
