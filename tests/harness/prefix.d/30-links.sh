#!/usr/bin/env bash
# Links inside the prefix for the security tests (tests/unit/SecurityTest.cpp). Wine creates no
# link from inside (CreateSymbolicLinkW succeeds and makes nothing), so they are made here, from
# the Linux side; Wine follows them as Windows follows junctions and file links.
#   C:\VorlaVictim\                      files an elevated step must never change (stand-in for
#                                        Program Files or system32)
#   C:\VorlaLinks\victim                 -> C:\VorlaVictim (a linked folder)
#   C:\VorlaLinks\file-link.json         -> C:\VorlaVictim\target.ini (a file link)
#   C:\VorlaLinks\hard-link.json         a second hard link of C:\VorlaVictim\hard.ini
#   C:\VorlaProfiles\<user>\AppData\Local\Microsoft\Windows\Fonts -> C:\VorlaVictim\redirected
#                                        a profile whose fonts folder is a link (a test points the
#                                        machine's profiles folder there for a moment; Wine renames
#                                        a linked folder's target, not the link, so no test can swap
#                                        the real one)
set -euo pipefail
c=$WINEPREFIX/drive_c
mkdir -p "$c/VorlaVictim/redirected" "$c/VorlaLinks"
ln -sfn "$c/VorlaVictim" "$c/VorlaLinks/victim"
printf '[victim]\r\n' >"$c/VorlaVictim/target.ini"
ln -sfn "$c/VorlaVictim/target.ini" "$c/VorlaLinks/file-link.json"
printf '[hard]\r\n' >"$c/VorlaVictim/hard.ini"
ln -f "$c/VorlaVictim/hard.ini" "$c/VorlaLinks/hard-link.json"
for profile in "$c"/users/*; do
  user=$(basename "$profile")
  [ "$user" = Public ] && continue
  mkdir -p "$c/VorlaProfiles/$user/AppData/Local/Microsoft/Windows"
  ln -sfn "$c/VorlaVictim/redirected" "$c/VorlaProfiles/$user/AppData/Local/Microsoft/Windows/Fonts"
done
