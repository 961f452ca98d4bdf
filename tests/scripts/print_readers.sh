#!/usr/bin/env bash
# Printable solids as their real readers see them: admesh and PrusaSlicer's
# command line (headless) on STL and 3MF solids of real grids (one with
# no-data holes) and of a made grid with a hole, four islands and cells
# touching at a corner. Each solid is closed, sized as --size asked and
# sliced without repairs. Fails (never skips) without the tools.
# Usage: print_readers.sh CONVERTER GRIDS_FOLDER
set -euo pipefail
convert=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
grids=$(cd "$2" 2>/dev/null && pwd) ||
  { echo "FAIL: the real grids are missing: expected $2 (../shared beside the checkout)" >&2; exit 1; }
for tool in admesh prusa-slicer; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (tools/setup-deps.sh installs it)" >&2; exit 1; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
fail() { echo "FAIL: $*" >&2; exit 1; }

# A hole in the west block, an island in the north-east, and two cells each
# touching the next only at a corner: four parts.
printf '%s\n' 'ncols 6' 'nrows 5' 'xllcorner 0' 'yllcorner 0' 'cellsize 10' 'NODATA_value -9999' \
  '5 6 7 -9999 3 4' '5 -9999 7 -9999 3 4' '5 6 7 -9999 -9999 -9999' \
  '-9999 -9999 -9999 8 -9999 -9999' '-9999 -9999 -9999 -9999 9 9' >islands.asc

# name grid parts longer-side extra-options; hugo's window has no-data along
# its edges, so its model is smaller than the window's 120 mm.
cases=(
  "islands islands.asc 4 120.000"
  "freyberg $grids/flopy_freyberg_top.asc 1 120.000"
  "hugo-simplified $grids/landlab_hugo_site.asc 1 91.579 --max-error 0.5"
)
for entry in "${cases[@]}"; do
  read -r name grid parts side extra <<<"$entry"
  for format in stl 3mf; do
    out=$name.$format
    # shellcheck disable=SC2086
    "$convert" "$grid" -q --size 120 --z-scale 2 --base-thickness 2 $extra -o "$out" || fail "$out: not converted"
    if [ "$format" = stl ]; then
      report=$(admesh "$out")
      for zero in "Degenerate facets" "Edges fixed" "Facets removed" "Facets added" "Facets reversed" \
        "Backwards edges"; do
        grep -Eq "^$zero +: +0\$" <<<"$report" || fail "$out: admesh: $(grep "^$zero" <<<"$report")"
      done
      grep -Eq "Number of parts +: +$parts " <<<"$report" || fail "$out: admesh: $(grep 'Number of parts' <<<"$report")"
    fi
    info=$(prusa-slicer --info "$out" 2>/dev/null)
    grep -qx 'manifold = yes' <<<"$info" || fail "$out: not manifold for PrusaSlicer: $info"
    grep -qx "number_of_parts =  $parts" <<<"$info" || fail "$out: parts: $(grep parts <<<"$info")"
    # The window's longer side is the 120 mm asked for.
    longer=$(awk -F' = ' '$1 == "size_x" || $1 == "size_y" { if ($2 > m) m = $2 } END { printf "%.3f", m }' <<<"$info")
    [ "$longer" = "$side" ] || fail "$out: longer side $longer mm, not $side"
    prusa-slicer --export-gcode "$out" --output "$name-$format.gcode" >slice.log 2>&1 ||
      fail "$out: PrusaSlicer could not slice it: $(tail -n 5 slice.log)"
    ! grep -Eiq 'repair|fixed|error' slice.log || fail "$out: PrusaSlicer repaired it: $(grep -Ei 'repair|fixed|error' slice.log)"
    [ -s "$name-$format.gcode" ] || fail "$out: no G-code"
  done
done
echo "print readers: ${#cases[@]} grids as STL and 3MF: closed, sized and sliced"
