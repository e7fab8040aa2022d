#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a finished build tree, unpacks it into a
# scratch root and checks what a user gets: the programs, the desktop entry,
# the icon, declared dependencies, and a headless recording that runs; and
# that Debian's own checkers (lintian, desktop-file-validate, appstreamcli)
# have nothing to say about it.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for needed in libqt6widgets6 libqt6serialport6 libxlsxwriter libmosquitto1 libsqlite3 qt6-qpa-plugins fonts-wqy-zenhei; do
  grep -q "$needed" <<<"$depends" || { echo "missing dependency: $needed"; exit 1; }
done

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/bin/breezon usr/bin/breezon-record usr/share/applications/breezon.desktop \
         usr/share/icons/hicolor/scalable/apps/breezon.svg usr/share/metainfo/io.github.breezon.metainfo.xml \
         usr/share/man/man1/breezon.1.gz usr/share/man/man1/breezon-record.1.gz \
         usr/share/doc/breezon/copyright usr/share/doc/breezon/changelog.gz usr/lib/systemd/system/breezon-record@.service \
         usr/share/mime/packages/breezon.xml; do
  [ -e "$root/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done
grep -q '^Exec=breezon %f$' "$root/usr/share/applications/breezon.desktop"
grep -q '^MimeType=application/x-breezon-recording;$' "$root/usr/share/applications/breezon.desktop"

# Silence is the pass: an error, a warning or a hint each fails the test
# (lintian's informational tags do not).
silent() {
  local name=$1; shift
  local out status=0
  out=$("$@" 2>&1) || status=$?
  out=$(grep -v -e '^running with root privileges is not recommended!$' -e '^I: ' -e '^N: ' <<<"$out" || true)
  if [ "$status" -ne 0 ] || [ -n "$out" ]; then
    echo "$name (exit status $status):"; printf '%s\n' "$out"; exit 1
  fi
  echo "$name: silent"
}
echo "checkers: $(lintian --version), desktop-file-validate $(dpkg-query -W -f='${Version}' desktop-file-utils)," \
     "$(appstreamcli --version)"
silent lintian lintian --fail-on error,warning "$deb"
silent desktop-file-validate desktop-file-validate "$root/usr/share/applications/breezon.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.breezon.metainfo.xml" >"$work/appstream.log" 2>&1 \
  || { cat "$work/appstream.log"; exit 1; }
echo "appstreamcli validate: passed"

version=$(dpkg-deb -f "$deb" Version)
for program in breezon breezon-record; do
  # Without a display, as over ssh or while the manual pages are built.
  help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --help)
  said=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version)
  [ "$said" = "$program $version" ] || { echo "$program --version says '$said', the package is $version"; exit 1; }
  # The manual page lists every option of --help.
  page=$(MANWIDTH=200 man -l "$root/usr/share/man/man1/$program.1.gz" 2>/dev/null)
  grep -q '^OPTIONS' <<<"$page" || { echo "$program(1) has no OPTIONS section"; exit 1; }
  for option in $(grep -o -E -- '--[a-z][a-z-]+' <<<"$help" | sort -u); do
    grep -q -e "$option" <<<"$page" || { echo "$program(1) does not mention $option"; exit 1; }
  done
done

out=$("$root/usr/bin/breezon-record" --demo --period 0.5 --rows 3 --breezon "$work/run.breezon")
lines=$(printf '%s\n' "$out" | grep -c .)
[ "$lines" -eq 3 ] || { echo "expected 3 rows, got: $out"; exit 1; }
printf '%s\n' "$out"
# The recording file is known by its content as well as by its name.
mkdir -p "$work/mime/packages"
cp "$root/usr/share/mime/packages/breezon.xml" /usr/share/mime/packages/freedesktop.org.xml "$work/mime/packages/"
# A scratch database: not worth an fsync per file.
PKGSYSTEM_ENABLE_FSYNC=0 update-mime-database "$work/mime"
cp "$work/run.breezon" "$work/run.db"
for f in run.breezon run.db; do
  type=$(XDG_DATA_HOME="$work" XDG_DATA_DIRS="$work" gio info -a standard::content-type "$work/$f" | sed -n 's/^ *standard::content-type: //p')
  [ "$type" = application/x-breezon-recording ] || { echo "$f is taken for $type"; exit 1; }
done
echo "package ok"
