#!/bin/sh
# Real font collections for the collection tests, into the folder $1 (once): WenQuanYi Micro Hei
# and Zen Hei, AR PL UKai and UMing from Debian's packages, unpacked (never installed on the host),
# and names.tsv beside them with the entry names fontTools reads (collection-names.py). Offline
# the packages cannot be fetched: then the tests that need them skip. Without fontTools
# (scripts/setup.sh installs python3-fonttools) this fails.
set -e
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
[ -f "$dir/names.tsv" ] && exit 0
mkdir -p "$dir"
cd "$dir"
if ! apt-get download fonts-wqy-microhei fonts-wqy-zenhei fonts-arphic-ukai fonts-arphic-uming; then
  echo "collections: the font packages could not be fetched; the tests that need them skip"
  exit 0
fi
for deb in *.deb; do dpkg-deb -x "$deb" .; done
rm -f ./*.deb
/usr/bin/python3 "$here/collection-names.py" usr/share/fonts > names.tsv.part
mv names.tsv.part names.tsv
cat names.tsv
