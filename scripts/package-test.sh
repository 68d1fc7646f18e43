#!/usr/bin/env bash
# Builds the .deb as a packager would (preset release), checks its file list and declared
# dependencies and has lintian check it, validates its menu entry and metainfo, then installs
# it, verifies its systemd units, runs an installed program and removes it again, checking
# that nothing of it stays behind. Leaves alone a vintrel package installed beforehand.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/package"
cd "$root"

need_root() { if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi; }
fail() { echo "package-test: $*" >&2; exit 1; }

cmake --preset release -B "$build" >/dev/null
cmake --build "$build"
rm -f "$build"/vintrel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(echo "$build"/vintrel_*.deb)

expected="usr/bin/vintrel
usr/bin/vintrel-console
usr/bin/vintrel-jet
usr/bin/vintrel-jet-check
usr/bin/vintrel-jet-compact
usr/lib/systemd/system/vintrel-compact@.service
usr/lib/systemd/system/vintrel-compact@.timer
usr/share/applications/vintrel.desktop
usr/share/doc/vintrel/changelog.gz
usr/share/doc/vintrel/copyright
usr/share/icons/hicolor/16x16/apps/vintrel.png
usr/share/icons/hicolor/32x32/apps/vintrel.png
usr/share/man/man1/vintrel-console.1.gz
usr/share/man/man1/vintrel-jet-check.1.gz
usr/share/man/man1/vintrel-jet-compact.1.gz
usr/share/man/man1/vintrel-jet.1.gz
usr/share/man/man1/vintrel.1.gz
usr/share/metainfo/org.example.vintrel.metainfo.xml"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | LC_ALL=C sort)
diff <(echo "$expected") <(echo "$files") || fail "the files of $deb differ from the list above"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6; do
  [[ "$depends" == *"$library "* ]] || fail "$deb does not depend on $library: $depends"
done
echo "$(basename "$deb"): $(echo "$files" | wc -l) files; depends on $depends"

# Debian's checker: no error and no warning (its info and pedantic tags are advice).
lintian --fail-on error,warning "$deb" || fail "lintian finds errors or warnings in $deb"
echo "lintian accepts $(basename "$deb")"

# The menu entry (not even a hint from its validator) and the AppStream metainfo as the package
# holds them, the metainfo with the entry it launches, offline: the screenshot's address is not
# fetched.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
hints=$(desktop-file-validate "$unpacked/usr/share/applications/vintrel.desktop" 2>&1) && [ -z "$hints" ] ||
  fail "desktop-file-validate on vintrel.desktop: $hints"
appstreamcli validate-tree --no-net "$unpacked" || fail "appstreamcli rejects the metainfo"
rm -rf "$unpacked"
trap - EXIT

if dpkg-query -W -f='${Status}' vintrel 2>/dev/null | grep -q "install ok installed"; then
  echo "A vintrel package is installed here already; not installing $deb over it"
  exit 0
fi
trap 'need_root dpkg --purge vintrel >/dev/null 2>&1 || true' EXIT
need_root dpkg -i "$deb"
version=$(dpkg-deb -f "$deb" Version)
[ "$(/usr/bin/vintrel-console --version)" = "vintrel-console $version" ] ||
  fail "the installed vintrel-console does not say version $version"
# The timer's units as installed, where the program they run is there too (and the manual page
# they name, where man is there to find it). A line it ignores is only a warning: any word fails.
if command -v systemd-analyze >/dev/null; then
  if command -v man >/dev/null; then man_check=yes; else man_check=no; fi
  said=$(systemd-analyze verify --man="$man_check" /usr/lib/systemd/system/vintrel-compact@.service \
    /usr/lib/systemd/system/vintrel-compact@.timer 2>&1) && [ -z "$said" ] ||
    fail "systemd-analyze verify on the timer's units: $said"
  echo "systemd-analyze verifies the timer's units"
else
  echo "systemd-analyze is missing here: the timer's units are not verified"
fi
need_root dpkg --purge vintrel
while read -r file; do
  [ ! -e "/$file" ] || fail "/$file is left after removing the package"
done <<<"$files"
trap - EXIT
echo "The package installs and removes cleanly"
