#!/usr/bin/env bash
# Builds the Debian package from the main build, checks it with lintian
# (any error or warning fails) and the desktop entry with
# desktop-file-validate (any message fails), and checks that its programs
# work when unpacked into a temporary folder.
#
#   BUILD_DIR   the configured and built tree (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends dpkg-dev file lintian desktop-file-utils

(cd "$BUILD_DIR" && rm -f velunt_*.deb && cpack -G DEB)
deb=$(ls "$BUILD_DIR"/velunt_*.deb)
info=$(dpkg-deb -I "$deb")
echo "$info"
grep -q 'Depends:.*fonts-liberation2' <<<"$info" || { echo "font dependency missing"; exit 1; }
grep -q 'Depends:.*libqt6widgets6' <<<"$info" || { echo "Qt dependency missing"; exit 1; }

unpacked=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$unpacked" "$work"' EXIT
dpkg-deb -x "$deb" "$unpacked"
dpkg-deb -c "$deb"
files=(usr/bin/velunt usr/bin/velunt-cli usr/share/applications/velunt.desktop
       usr/share/icons/hicolor/scalable/apps/velunt.svg
       usr/share/man/man1/velunt.1.gz usr/share/man/man1/velunt-cli.1.gz
       usr/share/doc/velunt/copyright usr/share/doc/velunt/changelog.gz
       usr/share/doc/velunt/examples/velunt.ini usr/share/doc/velunt/examples/beispiel.dxf)
for size in 16 22 24 32 48 64 128 256; do
    files+=("usr/share/icons/hicolor/${size}x${size}/apps/velunt.png")
done
for file in "${files[@]}"; do
    [ -f "$unpacked/$file" ] || { echo "missing in package: $file"; exit 1; }
done

# desktop-file-validate exits 0 on hints; any message at all fails here.
messages=$(desktop-file-validate "$unpacked/usr/share/applications/velunt.desktop" 2>&1 || true)
if [ -n "$messages" ]; then
    echo "desktop-file-validate:"
    echo "$messages"
    exit 1
fi
echo "desktop-file-validate: no messages"

# Errors and warnings fail the stage; informational tags are only shown.
lintian --fail-on error,warning --display-info "$deb" || { echo "lintian failed"; exit 1; }
echo "lintian: no errors or warnings"

"$unpacked/usr/bin/velunt-cli" --version
# The window's --help needs no display.
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=none "$unpacked/usr/bin/velunt" --help >/dev/null
# The packaged example names the drawing where the package installs it, so
# that a copy of it works from any folder; unpacked here, the drawing is
# given on the command line instead.
examples=/usr/share/doc/velunt/examples
grep -q "^dxfpath=$examples/beispiel.dxf" "$unpacked$examples/velunt.ini" ||
    { echo "the packaged velunt.ini does not name $examples/beispiel.dxf"; exit 1; }
# The unpacked command line extracts the example the package ships.
cp "$unpacked$examples/velunt.ini" "$unpacked$examples/beispiel.dxf" "$work"
(cd "$work" && "$unpacked/usr/bin/velunt-cli" --dxf beispiel.dxf &&
    test "$(wc -l < beispiel.txt)" -eq 5)
echo "package ok: $deb"
