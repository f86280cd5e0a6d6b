#!/usr/bin/env bash
# Checks a plug-in DLL as a host's loader sees it: exactly the given exports,
# undecorated (`main` and `VSTPluginMain` for VST 2.4; `GetPluginFactory`,
# `InitDll` and `ExitDll` for a VST3 bundle's binary), and imports from
# Windows system DLLs only (no C++ or GCC runtime, no winpthread, no zlib1
# beside it).
# Usage: check-dll.sh <objdump> <dll> <export>...
set -euo pipefail
objdump="$1" dll="$2"
shift 2
expected="$(printf '%s\n' "$@" | sort | tr '\n' ' ')"
headers="$("$objdump" -p "$dll")"

exports="$(awk '/\[Ordinal\/Name Pointer\] Table/{table=1; next} table && /^[ \t]*\[/{print $NF; next} table{table=0}' <<<"$headers" | sort | tr '\n' ' ')"
imports="$(awk '/DLL Name:/{print tolower($3)}' <<<"$headers" | sort -u | tr '\n' ' ')"
echo "exports: $exports"
echo "imports: $imports"

status=0
if [ "$exports" != "$expected" ]; then
  echo "FAIL: the exports must be exactly: $expected" >&2
  status=1
fi

system_dlls=(kernel32.dll user32.dll gdi32.dll ole32.dll oleaut32.dll advapi32.dll shell32.dll
  comdlg32.dll imm32.dll version.dll winmm.dll wininet.dll ws2_32.dll wsock32.dll rpcrt4.dll
  shlwapi.dll dxgi.dll msvcrt.dll comctl32.dll d2d1.dll dwrite.dll)
for dll_name in $imports; do
  if [[ " ${system_dlls[*]} " != *" $dll_name "* ]]; then
    echo "FAIL: imports $dll_name, which is not a Windows system DLL" >&2
    status=1
  fi
done
exit $status
