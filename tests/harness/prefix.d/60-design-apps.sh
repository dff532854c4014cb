#!/usr/bin/env bash
# Design-application stand-ins for the test prefix.
# - ProgIDs of the automation fixtures that register in the running-object
#   table (Photoshop, Illustrator). InDesign's registration is made by its tests,
#   which need it absent, broken or pointing at different versions.
# - The Windows script host: the system wscript.exe is replaced by a recording
#   program (Wine's own host rejects the /e:vbscript switch that the library
#   passes). Wine prefers its built-in wscript.exe, so the prefix is told to load
#   the native file first. The original host is kept as C:\vorla-realhost\wscript.exe
#   for the test that runs a generated VBScript for real.
set -euo pipefail

system32="$WINEPREFIX/drive_c/windows/system32"
mkdir -p "$WINEPREFIX/drive_c/vorla-realhost"
cp "$system32/wscript.exe" "$WINEPREFIX/drive_c/vorla-realhost/wscript.exe"
cp "$BUILD_DIR/tests/fixtures/adobe/ScriptHost.exe" "$system32/wscript.exe"

reg_file="$WINEPREFIX/drive_c/vorla-design-apps.reg"
cat > "$reg_file" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"wscript.exe"="native,builtin"

[HKEY_LOCAL_MACHINE\Software\Classes\Photoshop.Application\CLSID]
@="{C0E295D1-2F13-4940-B0FF-6B4906670796}"

[HKEY_LOCAL_MACHINE\Software\Classes\Illustrator.Application\CLSID]
@="{B627007A-F653-42A5-A26C-26D8606D3D58}"
REG
"$WINE" reg import 'C:\vorla-design-apps.reg' >/dev/null 2>&1
rm -f "$reg_file"
