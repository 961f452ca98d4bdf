#!/usr/bin/env bash
# Checks the packages in build/packages/ (made by tools/package.sh):
# - the Debian package: lintian finds no error; it installs into a throw-away
#   root with dpkg -i, where morvale-convert converts, --help, man and the
#   bash completion work, and dpkg -r leaves nothing behind. In CI (as root)
#   it is also installed into the system and removed again.
# - the Windows zip: it holds both programs, README.md, LICENSE and NOTICE;
#   under Wine the converter runs without a display and writes the same bytes
#   as the Linux one, and the window opens.
# Both must carry the version of the build.
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$(pwd)

fail() { echo "check-packages: $*" >&2; exit 1; }
step() { echo "-- $*"; }

version=$(sed -n 's/^project(morvale VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"
deb=build/packages/morvale-convert_${version}_amd64.deb
zip=build/packages/morvale-${version}-windows-x86_64.zip
[ -f "$deb" ] || fail "missing $deb"
[ -f "$zip" ] || fail "missing $zip"

work=$(mktemp -d -t morvale-packages.XXXXXX)
trap 'rm -rf "$work"' EXIT

# A small grid with a no-data cell, and the bytes of its mesh without the
# line of the conversion time (line 4), which differs from run to run.
printf 'ncols 4\r\nnrows 3\r\nxllcorner 10.5\r\nyllcorner -2\r\ncellsize 0.25\r\nNODATA_value -9999\r\n1 2.5 3 -9999\r\n4 5 6.125 7\r\n-1e-5 8 9 10\r\n' \
  >"$work/grid.asc"
mesh_without_time() { sed '4d' "$1"; }

step "Debian package: lintian"
lintian_status=0
lintian_report=$(lintian --fail-on error "$deb" 2>&1) || lintian_status=$?
grep -v '^running with root' <<<"$lintian_report" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"
depends=$(dpkg-deb -f "$deb" Depends)
case $depends in *libc6*libstdc++6*) ;; *) fail "unexpected dependencies: $depends" ;; esac
# 3MF output is written through lib3mf's shared library.
case $depends in *lib3mf1*) ;; *) fail "no dependency on lib3mf1 (3MF output): $depends" ;; esac
# Rasters besides Esri ASCII grids are read through GDAL's runtime library.
case $depends in *libgdal*) ;; *) fail "no dependency on GDAL's runtime: $depends" ;; esac

step "Debian package: dpkg -i and -r in a throw-away root"
fake=$work/root
mkdir -p "$fake/var/lib/dpkg/info" "$fake/var/lib/dpkg/updates"
touch "$fake/var/lib/dpkg/status"
# The throw-away root knows no other package: its dependencies are the system's.
fake_dpkg() {
  PATH="$PATH:/usr/sbin:/sbin" dpkg --root="$fake" --force-not-root --force-depends --force-script-chrootless \
    --log=/dev/null "$@" >/dev/null 2>&1
}
fake_dpkg -i "$deb"
# Whole outputs are taken before they are searched: grep -q would close the
# pipe early and fail the program writing into it.
contains() { grep -q -- "$2" <<<"$1"; }
contains "$("$fake/usr/bin/morvale-convert" --version)" "^morvale-convert $version\$" || fail "installed --version"
contains "$("$fake/usr/bin/morvale-convert" --help)" '^Exit status:' || fail "installed --help"
"$fake/usr/bin/morvale-convert" "$work/grid.asc" -o "$work/linux.obj" --quiet || fail "installed converter"
gdal_translate -q "$work/grid.asc" "$work/grid.tif" || fail "gdal_translate"
"$fake/usr/bin/morvale-convert" "$work/grid.tif" -o "$work/tif.obj" --quiet || fail "installed converter on a GeoTIFF"
contains "$(MANPATH="$fake/usr/share/man" man morvale-convert 2>/dev/null)" 'EXIT STATUS' || fail "man morvale-convert"
completion=$(bash -c "source '$fake/usr/share/bash-completion/completions/morvale-convert' &&
  COMP_WORDS=(morvale-convert --mode f) COMP_CWORD=2 && _morvale_convert && echo \"\${COMPREPLY[*]}\"")
[ "$completion" = floating-planes ] || fail "bash completion gave '$completion'"
fake_dpkg -r morvale-convert
left=$( (find "$fake/usr" -type f 2>/dev/null || true) | wc -l)
[ "$left" -eq 0 ] || fail "dpkg -r left $left files"

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
  step "Debian package: dpkg -i and -r on this system"
  dpkg -i "$deb" >/dev/null
  [ "$(command -v morvale-convert)" = /usr/bin/morvale-convert ] || fail "not on the PATH"
  morvale-convert --help >/dev/null
  contains "$(man morvale-convert 2>/dev/null)" 'EXIT STATUS' || fail "man morvale-convert (system)"
  dpkg -r morvale-convert >/dev/null
  [ ! -e /usr/bin/morvale-convert ] || fail "dpkg -r left the program"
fi

step "Windows zip: contents"
top=morvale-${version}-windows-x86_64
listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
expected="$top/ $top/LICENSE $top/NOTICE $top/README.md $top/morvale-convert.exe $top/morvale.exe "
[ "$listed" = "$expected" ] || [ "$listed" = "${expected#"$top/ "}" ] || fail "zip holds: $listed"
unzip -q "$zip" -d "$work"
contains "$(x86_64-w64-mingw32-windres -i "$work/$top/morvale.exe" -O rc 2>/dev/null | tr -d ' ')" \
  "FILEVERSION${version//./,},0" || fail "morvale.exe carries no version record of $version"

step "Windows zip: the programs under Wine"
export MORVALE_CHECK_DIR=$work/$top MORVALE_CHECK_WORK=$work MORVALE_CHECK_VERSION=$version
tools/wine-session.sh bash -c '
  set -euo pipefail
  cd "$MORVALE_CHECK_DIR"
  wine=$(command -v wine || command -v wine64)
  # The console program needs no display.
  shown=$(env -u DISPLAY "$wine" morvale-convert.exe --version | tr -d "\r")
  grep -qx "morvale-convert $MORVALE_CHECK_VERSION" <<<"$shown"
  env -u DISPLAY "$wine" morvale-convert.exe "Z:$MORVALE_CHECK_WORK/grid.asc" -o "Z:$MORVALE_CHECK_WORK/windows.obj" --quiet
  # The window: wait for it, then end the program.
  "$wine" morvale.exe </dev/null >/dev/null 2>&1 &
  program=$!
  found=""
  for _ in $(seq 150); do
    found=$(xdotool search --name "^Morvale \(v" 2>/dev/null | head -n 1 || true)
    [ -n "$found" ] && break
    sleep 0.2
  done
  kill "$program" 2>/dev/null || true
  [ -n "$found" ] || { echo "morvale.exe showed no window" >&2; exit 1; }
' || fail "the Windows programs did not run under Wine"
[ -s "$work/linux.obj" ] && [ -s "$work/windows.obj" ] || fail "a converter wrote no mesh"
cmp -s <(mesh_without_time "$work/linux.obj") <(mesh_without_time "$work/windows.obj") ||
  fail "the Windows converter wrote other bytes than the Linux one"
echo "packages OK: $(basename "$deb"), $(basename "$zip")"
