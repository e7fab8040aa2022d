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
for needed in libqt6widgets6 libqt6serialport6 libxlsxwriter libsqlite3 qt6-qpa-plugins fonts-wqy-zenhei; do
  grep -q "$needed" <<<"$depends" || { echo "missing dependency: $needed"; exit 1; }
done

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/bin/breezon usr/bin/breezon-record usr/share/applications/breezon.desktop \
         usr/share/icons/hicolor/scalable/apps/breezon.svg usr/share/mime/packages/breezon.xml; do
  [ -e "$root/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done
grep -q '^Exec=breezon %f$' "$root/usr/share/applications/breezon.desktop"
grep -q '^MimeType=application/x-breezon-recording;$' "$root/usr/share/applications/breezon.desktop"
grep -q -E '^Categories=.*(Utility|Science)' "$root/usr/share/applications/breezon.desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/breezon.desktop"
fi

out=$("$root/usr/bin/breezon-record" --demo --period 0.5 --rows 3 --breezon "$work/run.breezon")
lines=$(printf '%s\n' "$out" | grep -c .)
[ "$lines" -eq 3 ] || { echo "expected 3 rows, got: $out"; exit 1; }
printf '%s\n' "$out"
# The recording file is known by its content as well as by its name.
mkdir -p "$work/mime/packages"
cp "$root/usr/share/mime/packages/breezon.xml" /usr/share/mime/packages/freedesktop.org.xml "$work/mime/packages/"
update-mime-database "$work/mime"
cp "$work/run.breezon" "$work/run.db"
for f in run.breezon run.db; do
  type=$(XDG_DATA_HOME="$work" XDG_DATA_DIRS="$work" gio info -a standard::content-type "$work/$f" | sed -n 's/^ *standard::content-type: //p')
  [ "$type" = application/x-breezon-recording ] || { echo "$f is taken for $type"; exit 1; }
done
QT_QPA_PLATFORM=offscreen "$root/usr/bin/breezon" --help | grep -q -- '--demo'
echo "package ok"
