#!/usr/bin/env bash
# Checks the shape of our DLLs: a PE i386 DLL exporting exactly its own names,
# undecorated, and importing nothing but Windows system DLLs. KVL.zrp has the ten
# ZRP_* entry points, idn.dll IDNtoACE and ACEtoIDN.
set -euo pipefail
dll=${1:?usage: check-exports.sh KVL.zrp|idn.dll}
objdump=i686-w64-mingw32-objdump
case "$(basename "$dll")" in
  KVL.zrp) expected="ZRP_ExecMacro ZRP_Finalize ZRP_GetInfo ZRP_GetMacroList ZRP_GetName ZRP_GetStatus ZRP_GetVersion ZRP_Initialize ZRP_NeedConfig ZRP_Setup" ;;
  idn.dll) expected="ACEtoIDN IDNtoACE" ;;
  *) echo "no export list for $dll"; exit 1 ;;
esac
headers=$($objdump -p "$dll")
grep -q 'file format pei-i386' <<<"$headers" || { echo "not a PE i386 file: $dll"; exit 1; }

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$exports" != "$expected" ]; then
  echo "exports differ"; echo " expected: $expected"; echo " found:    $exports"; exit 1
fi

system="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll version.dll msvcrt.dll comctl32.dll comdlg32.dll wsock32.dll ws2_32.dll urlmon.dll wininet.dll shlwapi.dll bcrypt.dll normaliz.dll"
status=0
for dll_name in $(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z'); do
  case " $system " in *" $dll_name "*) ;; *) echo "imports a non-system DLL: $dll_name"; status=1 ;; esac
done
[ $status -eq 0 ] && echo "$(basename "$dll"): $(wc -w <<<"$expected") undecorated exports, system imports only"
exit $status
