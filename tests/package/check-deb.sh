#!/usr/bin/env bash
# Builds the Debian package from a finished build tree, unpacks it into a
# scratch root and checks what a user gets: the programs, the desktop entry,
# the icon, declared dependencies, and a headless recording that runs.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for needed in libqt6widgets6 libqt6serialport6 libxlsxwriter libmosquitto1 qt6-qpa-plugins fonts-wqy-zenhei; do
  grep -q "$needed" <<<"$depends" || { echo "missing dependency: $needed"; exit 1; }
done

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/bin/breezon usr/bin/breezon-record usr/share/applications/breezon.desktop \
         usr/share/icons/hicolor/scalable/apps/breezon.svg usr/lib/systemd/system/breezon-record@.service; do
  [ -e "$root/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done
grep -q '^Exec=breezon$' "$root/usr/share/applications/breezon.desktop"
grep -q -E '^Categories=.*(Utility|Science)' "$root/usr/share/applications/breezon.desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/breezon.desktop"
fi

out=$("$root/usr/bin/breezon-record" --demo --period 0.5 --rows 3)
lines=$(printf '%s\n' "$out" | grep -c .)
[ "$lines" -eq 3 ] || { echo "expected 3 rows, got: $out"; exit 1; }
printf '%s\n' "$out"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/breezon" --help | grep -q -- '--demo'
echo "package ok"
