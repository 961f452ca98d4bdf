#!/usr/bin/env bash
# The Windows converter under Wine, simplifying past 2^20 triangles (when its
# faces go to a spool file): the spool sits beside the output and goes at the
# end. Nothing is left in the output's folder or the working folder, and
# nothing anywhere on drive C: changes (the old C runtime's tmpfile() uses the
# drive's root, Wine's the user's Temp folder). A folder in the spool's place
# makes the run fail with exit 4 rather than spool elsewhere.
# Usage: windows_face_spool.sh CONVERTER.exe (inside or outside a Wine session)
set -euo pipefail
if [ -z "${MORVALE_WINE_SESSION:-}" ]; then
  exec "$(dirname "$0")/../../tools/wine-session.sh" bash "$0" "$@"
fi
convert=$(realpath "$1")
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
drive_c=$WINEPREFIX/drive_c
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir cwd out

# Rough terrain: at --max-error 0 nearly two triangles per cell.
awk 'BEGIN {
  srand(7); n = 760
  printf "ncols %d\nnrows %d\nxllcorner 0\nyllcorner 0\ncellsize 1\n", n, n
  for (r = 0; r < n; r++) {
    line = int(rand() * 100)
    for (c = 1; c < n; c++) line = line " " int(rand() * 100)
    print line
  }
}' >rough.asc

# Runs the converter from cwd/; its status and summary go to run.log.
convert_rough() {
  touch marker
  sleep 1  # what changes on drive C: is found by its time against the marker
  status=0
  (cd cwd && env -u DISPLAY "$wine" "$convert" "Z:$scratch/rough.asc" --max-error 0 -o "Z:$scratch/out/rough.obj" \
    </dev/null 2>&1 | tr -d '\r' >../run.log) || status=$?
  changed=$(find "$drive_c" -newer marker)
  [ -z "$changed" ] || fail "drive C: changed: $changed"
  [ -z "$(ls -A cwd)" ] || fail "the working folder holds: $(ls -A cwd)"
}

convert_rough
[ "$status" -eq 0 ] || fail "exit $status: $(cat run.log)"
triangles=$(sed -n 's/^Triangles: *//p' run.log | tr -d ' ')
[ "${triangles:-0}" -gt 1048576 ] || fail "only '$triangles' triangles: the spool was not needed"
[ "$(ls -A out)" = rough.obj ] || fail "the output's folder holds: $(ls -A out)"

mkdir out/rough.obj.faces.tmp
convert_rough
[ "$status" -eq 4 ] || fail "exit $status with a folder in the spool's place: $(cat run.log)"
[ -z "$(ls -A out/rough.obj.faces.tmp)" ] || fail "something was written into the folder in the spool's place"
echo "face spool OK: $triangles triangles"
