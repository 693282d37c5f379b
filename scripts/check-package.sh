#!/usr/bin/env bash
# Builds the Debian package from an existing build/ and checks what it holds.
set -euo pipefail
cd "$(dirname "$0")/../build"
rm -f velsend_*.deb
cpack -G DEB >/dev/null 2>&1
deb=$(ls velsend_*_amd64.deb)
listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
status=0
for f in ./usr/bin/velsend ./usr/bin/velsend-cli ./usr/bin/velsend-burner-sim \
         ./usr/share/applications/velsend.desktop \
         ./usr/share/icons/hicolor/scalable/apps/velsend.svg \
         ./usr/share/man/man1/velsend-cli.1 ./usr/share/man/man1/velsend-burner-sim.1 \
         ./usr/share/doc/velsend/guide/index.html ./usr/share/doc/velsend/guide/img/device-detail.png; do
    grep -qxF "$f" <<<"$listing" || { echo "package: missing $f"; status=1; }
done
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "package: no Qt dependency"; status=1; }
desktop-file-validate ../packaging/velsend.desktop || status=1
[ $status -eq 0 ] && echo "package: $deb holds the programs, desktop entry, icon, manual pages and user guide"
exit $status
