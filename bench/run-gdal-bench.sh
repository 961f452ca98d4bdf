#!/usr/bin/env bash
# The raster benchmark: the 4000 x 4000 grid of bench/run-bench.sh converted
# from its .asc, from a Float32 GeoTIFF of it (uncompressed, and DEFLATE
# tiled) read through GDAL, and the user's way without GDAL
# (gdal_translate -of AAIGrid from the GeoTIFF, then the .asc conversion),
# measured side by side in one run, runs interleaved, medians reported; then
# the peak memory of a 10000 x 10000 Float32 GeoTIFF's conversion. Meshes go
# to /dev/null: written whole and formatted, but the disk's writeback (a
# Floating planes OBJ is 2.7 GB) would drown the readers' difference.
#
#   bench/run-gdal-bench.sh
#
# Environment: MORVALE_BENCH_BUILD (build folder, default build/bench),
# MORVALE_BENCH_CACHE (generated grids, default $TMPDIR/morvale-bench),
# MORVALE_BENCH_RUNS (runs per figure, default 3).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${MORVALE_BENCH_BUILD:-build/bench}
cache=${MORVALE_BENCH_CACHE:-$(dirname "$(mktemp -u)")/morvale-bench}
runs=${MORVALE_BENCH_RUNS:-3}

. "$(dirname "$0")/bench-grid.sh"
bench_setup gdal
grid=$cache/grid-4000x4000.asc
bench_grid "$build" "$grid" 4000 4000
echo "== making the GeoTIFFs"
plain=$work/grid.tif
deflate=$work/grid-deflate.tif
gdal_translate -q -ot Float32 "$grid" "$plain"
gdal_translate -q -ot Float32 -co COMPRESS=DEFLATE -co TILED=YES "$grid" "$deflate"
printf '  .asc %.0f MB, GeoTIFF %.0f MB, DEFLATE GeoTIFF %.0f MB\n' "$(stat -c %s "$grid")e-6" \
  "$(stat -c %s "$plain")e-6" "$(stat -c %s "$deflate")e-6"

# Each program's floor: the peak of a one-cell conversion. The converter loads
# GDAL's libraries (a hundred-odd, mostly read-only pages shared with other
# processes) only for a raster, so a GeoTIFF's floor is GDAL's.
printf 'ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n5\n' >"$work/one.asc"
gdal_translate -q "$work/one.asc" "$work/one.tif"
for ((i = 1; i <= runs; i++)); do
  run floorasc "$convert" "$work/one.asc" -o "$work/out.obj" --quiet
  run floortif "$convert" "$work/one.tif" -o "$work/out.obj" --quiet
done
floor_asc=$(maxOf "$work/floorasc")
floor_tif=$(maxOf "$work/floortif")
awk -v a="$floor_asc" -v t="$floor_tif" 'BEGIN {
  printf "  floor (a one-cell conversion): .asc %.1f MB, GeoTIFF %.1f MB (GDAL loaded)\n", a / 1024, t / 1024 }'

# The user's alternative: the GeoTIFF made an Esri ASCII grid, then converted.
alternative() {
  local mode=$1
  rm -f "$work/alt.asc" "$work/alt.prj"
  run translate gdal_translate -q -of AAIGrid "$plain" "$work/alt.asc"
  run altconv "$convert" "$work/alt.asc" -o /dev/null --format obj --mode "$mode" --quiet
}

# bench MODE: the four ways, in turns.
bench() {
  local mode=$1
  rm -f "$work"/asc "$work"/tif "$work"/deflate "$work"/translate "$work"/altconv
  for ((i = 1; i <= runs; i++)); do
    for ((k = 0; k < 4; k++)); do
      case $(((i + k) % 4)) in
        0) run asc "$convert" "$grid" -o /dev/null --format obj --mode "$mode" --quiet ;;
        1) run tif "$convert" "$plain" -o /dev/null --format obj --mode "$mode" --quiet ;;
        2) run deflate "$convert" "$deflate" -o /dev/null --format obj --mode "$mode" --quiet ;;
        3) alternative "$mode" ;;
      esac
    done
  done
  echo "$mode, 4000 x 4000 cells, medians of $runs runs"
  printf '  %-36s %9s %7s %8s %12s\n' "input" "median s" "cpu s" "peak MB" "above floor"
  local name label floor
  for name in asc tif deflate; do
    case $name in
      asc) label=".asc (own reader)" floor=$floor_asc ;;
      tif) label="Float32 GeoTIFF (GDAL)" floor=$floor_tif ;;
      deflate) label="Float32 GeoTIFF, DEFLATE (GDAL)" floor=$floor_tif ;;
    esac
    awk -v l="$label" -v t="$(median "$work/$name")" -v c="$(median "$work/$name" 3)" -v m="$(maxOf "$work/$name")" \
      -v a="$(median "$work/asc")" -v f="$floor" 'BEGIN {
      printf "  %-36s %9.3f %7.2f %8.1f %9.1f MB   %.2fx the .asc time\n", l, t, c, m / 1024, (m - f) / 1024, t / a }'
  done
  awk -v t1="$(median "$work/translate")" -v t2="$(median "$work/altconv")" -v c1="$(median "$work/translate" 3)" \
    -v c2="$(median "$work/altconv" 3)" -v m1="$(maxOf "$work/translate")" -v m2="$(maxOf "$work/altconv")" \
    -v a="$(median "$work/asc")" 'BEGIN {
    m = m1 > m2 ? m1 : m2
    printf "  %-36s %9.3f %7.2f %8.1f   %.2fx the .asc time (%.3f s of it gdal_translate)\n",
      "gdal_translate -of AAIGrid, then .asc", t1 + t2, c1 + c2, m / 1024, (t1 + t2) / a, t1 }'
}

bench interpolated
bench floating-planes

echo "== 10000 x 10000 Float32 GeoTIFF, peak memory (output to /dev/null: the figure is memory, not speed)"
huge=$work/huge.tif
gdalwarp -q -ts 10000 10000 -r bilinear -ot Float32 "$plain" "$huge"
rm -f "$plain" "$deflate"
for mode in interpolated floating-planes; do
  rm -f "$work/huge"
  run huge "$convert" "$huge" -o /dev/null --format obj --mode "$mode" --quiet
  read -r seconds kib _ <"$work/huge"
  awk -v mode="$mode" -v s="$seconds" -v k="$kib" 'BEGIN {
    printf "  %-16s peak %7.1f MB  time %.2f s\n", mode, k / 1024, s }'
done
