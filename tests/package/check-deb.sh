#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a finished build tree, unpacks it into a
# scratch root and checks what a user gets: the programs, the desktop entry,
# the icon, the documentation, declared dependencies, the command lines, a
# headless recording that runs from an options file as the service reads
# it, the service's hardening and the maintainer scripts; and that Debian's
# own checkers (lintian, with its informational tags, desktop-file-validate,
# appstreamcli, man, systemd-analyze) have nothing to say about it.
set -euo pipefail
build=$1
src=$2
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
# Every page of docs/ as it is in the source, and the HTML guide registered
# with doc-base.
for page in "$src"/docs/*.md; do
  f=usr/share/doc/breezon/$(basename "$page").gz
  [ -e "$root/$f" ] || { echo "missing from the package: /$f"; exit 1; }
  zcat "$root/$f" | cmp -s - "$page" || { echo "/$f is not docs/$(basename "$page")"; exit 1; }
done
docbase=usr/share/doc-base/breezon.breezon-guide
for f in usr/share/doc/breezon/guide.html $docbase; do
  [ -e "$root/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done
grep -q '^Files: /usr/share/doc/breezon/guide.html$' "$root/$docbase"
grep -q '^Exec=breezon %f$' "$root/usr/share/applications/breezon.desktop"
grep -q '^MimeType=application/x-breezon-recording;$' "$root/usr/share/applications/breezon.desktop"

# Silence is the pass: an error, a warning, an informational tag or a hint
# each fails the test.
silent() {
  local name=$1; shift
  local out status=0
  out=$("$@" 2>&1) || status=$?
  out=$(grep -v -e '^running with root privileges is not recommended!$' -e '^N: ' <<<"$out" || true)
  if [ "$status" -ne 0 ] || [ -n "$out" ]; then
    echo "$name (exit status $status):"; printf '%s\n' "$out"; exit 1
  fi
  echo "$name: silent"
}
echo "checkers: $(lintian --version), desktop-file-validate $(dpkg-query -W -f='${Version}' desktop-file-utils)," \
     "$(appstreamcli --version)"
silent lintian lintian --display-info --fail-on error,warning,info "$deb"
silent desktop-file-validate desktop-file-validate "$root/usr/share/applications/breezon.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.breezon.metainfo.xml" >"$work/appstream.log" 2>&1 \
  || { cat "$work/appstream.log"; exit 1; }
echo "appstreamcli validate: passed"

version=$(dpkg-deb -f "$deb" Version)
noDisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
for program in breezon breezon-record; do
  # Without a display, as over ssh or while the manual pages are built.
  help=$("${noDisplay[@]}" "$root/usr/bin/$program" --help)
  wide=$(awk 'length > 80' <<<"$help")
  [ -z "$wide" ] || { echo "$program --help is wider than 80 columns:"; printf '%s\n' "$wide"; exit 1; }
  said=$("${noDisplay[@]}" "$root/usr/bin/$program" --version)
  [ "$said" = "$program $version" ] || { echo "$program --version says '$said', the package is $version"; exit 1; }
  # A usage error is one line of what is wrong and where to look, status 2.
  status=0
  said=$("${noDisplay[@]}" "$root/usr/bin/$program" --demo extra.breezon surplus.breezon 2>&1) || status=$?
  [ "$status" -eq 2 ] && [ "$(wc -l <<<"$said")" -eq 2 ] && [ "$(tail -1 <<<"$said")" = "Try '$program --help'." ] \
    || { echo "a usage error of $program ends $status with:"; printf '%s\n' "$said"; exit 1; }

  manual="$root/usr/share/man/man1/$program.1.gz"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$manual" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "man --warnings on $program(1):"; printf '%s\n' "$warnings"; exit 1; }
  echo "man --warnings $program(1): silent"
  # Nothing is hyphenated (groff marks a hyphenation with U+2010; a hyphen
  # of the text is ASCII), so paths, URLs and options copy as they are.
  for width in 80 60; do
    if LC_ALL=C.UTF-8 MANWIDTH=$width man -l "$manual" 2>/dev/null | grep -n $'\xe2\x80\x90'; then
      echo "$program(1) hyphenates at $width columns"; exit 1
    fi
  done
  # Examples are set as they are typed: no runs of spaces between words,
  # devices by their stable names.
  if zcat "$manual" | sed -n '/^\.EX/,/^\.EE/p' | grep -E -e '[^ ]  +' -e 'ttyUSB'; then
    echo "$program(1) has an example that does not copy as it should"; exit 1
  fi
  # The manual page lists every option of --help.
  page=$(MANWIDTH=200 man -l "$manual" 2>/dev/null)
  for section in OPTIONS ENVIRONMENT FILES EXAMPLES 'EXIT STATUS' 'SEE ALSO'; do
    grep -q "^$section" <<<"$page" || { echo "$program(1) has no $section section"; exit 1; }
  done
  for option in $(grep -o -E -- '--[a-z][a-z-]+' <<<"$help" | sort -u); do
    grep -q -e "$option" <<<"$page" || { echo "$program(1) does not mention $option"; exit 1; }
  done
done
# The window says in one line that there is no display, rather than abort.
status=0
said=$("${noDisplay[@]}" "$root/usr/bin/breezon" 2>&1) || status=$?
[ "$status" -eq 1 ] && [ -n "$said" ] && [ "$(wc -l <<<"$said")" -eq 1 ] \
  || { echo "breezon without a display ends $status with:"; printf '%s\n' "$said"; exit 1; }

# Options as the service reads them from /etc/breezon/NAME.conf: a value
# with spaces needs no quoting.
cat >"$work/duct 7.conf" <<EOF
# duct 7, second floor
--demo
--period 0.5
--rows 3
--csv $work/duct 7.csv
--breezon $work/run.breezon
EOF
out=$("$root/usr/bin/breezon-record" --options-file "$work/duct 7.conf")
lines=$(printf '%s\n' "$out" | grep -c .)
[ "$lines" -eq 3 ] || { echo "expected 3 rows, got: $out"; exit 1; }
[ "$(wc -l <"$work/duct 7.csv")" -eq 4 ] || { echo "the options file's --csv did not make 'duct 7.csv'"; exit 1; }
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
# The service: its options file, its credential, and how exposed systemd
# rates it (0 is best, 10 worst; 4.0 at most here), with nothing in the
# unit that systemd ignores.
unit=$root/usr/lib/systemd/system/breezon-record@.service
grep -q '^ExecStart=breezon-record --options-file /etc/breezon/%i.conf$' "$unit"
grep -q '^LoadCredential=mqtt-password:/etc/breezon/mqtt-password$' "$unit"
systemd-analyze security --offline=true "$unit" >"$work/security.log" 2>"$work/security.err" \
  || { cat "$work/security.log" "$work/security.err"; exit 1; }
[ ! -s "$work/security.err" ] || { echo "systemd-analyze on the unit:"; cat "$work/security.err"; exit 1; }
score=$(sed -n 's/^→ Overall exposure level for .*: \([0-9.]*\) .*/\1/p' "$work/security.log")
awk -v s="$score" 'BEGIN { exit !(s != "" && s <= 4.0) }' \
  || { echo "systemd-analyze security rates the service ${score:-?}, above 4.0:"; cat "$work/security.log"; exit 1; }
echo "systemd-analyze security: $score"

# The maintainer scripts, as dpkg runs them into a scratch root (chrootless,
# with DPKG_ROOT): removal takes the links of the instances an administrator
# enabled and keeps /etc/breezon, purge takes /etc/breezon too, and nothing
# of the package is left.
sys=$work/sys
mkdir -p "$sys/var/lib/dpkg/info" "$sys/var/lib/dpkg/updates" "$sys/var/lib/dpkg/triggers"
touch "$sys/var/lib/dpkg/status" "$sys/var/lib/dpkg/available"
dpkg=(dpkg --root="$sys" --force-script-chrootless --force-depends --log=/dev/null)
"${dpkg[@]}" -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
wants=$sys/etc/systemd/system/multi-user.target.wants
mkdir -p "$sys/etc/breezon" "$wants"
echo '--demo' >"$sys/etc/breezon/duct7.conf"
ln -s /lib/systemd/system/breezon-record@.service "$wants/breezon-record@duct7.service"
ln -s /usr/lib/systemd/system/breezon-record@.service "$wants/breezon-record@duct8.service"
ln -s /lib/systemd/system/ssh.service "$wants/ssh.service"
left() { find "$sys" -path "$sys/var/lib/dpkg" -prune -o ! -type d -print | sort; }
"${dpkg[@]}" -r breezon >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
[ "$(left)" = "$sys/etc/breezon/duct7.conf
$wants/ssh.service" ] || { echo "left after removal:"; left; exit 1; }
"${dpkg[@]}" -P breezon >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
[ "$(left)" = "$wants/ssh.service" ] || { echo "left after purge:"; left; exit 1; }
echo "maintainer scripts: removal leaves /etc/breezon and no instance link, purge leaves nothing"
echo "package ok"
