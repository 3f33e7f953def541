#!/usr/bin/env bash
# Builds the Debian package from the main build and checks that its programs
# work when unpacked into a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
apt-get install -y --no-install-recommends dpkg-dev file

(cd build && rm -f velunt_*.deb && cpack -G DEB)
deb=$(ls build/velunt_*.deb)
info=$(dpkg-deb -I "$deb")
echo "$info"
grep -q 'Depends:.*fonts-liberation2' <<<"$info" || { echo "font dependency missing"; exit 1; }
grep -q 'Depends:.*libqt6widgets6' <<<"$info" || { echo "Qt dependency missing"; exit 1; }

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for file in usr/bin/velunt usr/bin/velunt-cli usr/share/applications/velunt.desktop \
            usr/share/icons/hicolor/16x16/apps/velunt.png usr/share/icons/hicolor/48x48/apps/velunt.png \
            usr/share/man/man1/velunt-cli.1; do
    [ -f "$unpacked/$file" ] || { echo "missing in package: $file"; exit 1; }
done
"$unpacked/usr/bin/velunt-cli" --version
# The unpacked command line extracts the shipped example.
work=$(mktemp -d)
cp examples/velunt.ini examples/beispiel.dxf "$work"
(cd "$work" && "$unpacked/usr/bin/velunt-cli" && test "$(wc -l < beispiel.txt)" -eq 5)
rm -rf "$work"
echo "package ok: $deb"
