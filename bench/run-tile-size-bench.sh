#!/usr/bin/env bash
# One large grid cut by --tile-size against its conversion as one mesh, and
# the cost of one tile's process of a distributed second pass:
#   - a SIZE x SIZE synthetic grid (default 20000) converted whole, then as a
#     set of TILE x TILE tiles (default 2000) in one process with -j 2: wall
#     time, processor time and peak memory of each process;
#   - the 4000 x 4000 grid of bench/run-tiles-bench.sh cut into 4 x 4 files of
#     1000 x 1000 cells, its seam index written in pieces (one per tile), and
#     one inner tile converted in its own process with --seams on the pieces'
#     folder: the overhead of the task (process start, the pieces' tables, the
#     neighbours' borders, the table printed) is its wall time less the
#     conversion's own time (the table's seconds).
# Every run writes its meshes into a scratch folder; medians of RUNS runs.
# MORVALE_BENCH_SIZE=0 measures the task alone.
#
#   bench/run-tile-size-bench.sh
#
# Environment: MORVALE_BENCH_BUILD (build folder, default build/bench),
# MORVALE_BENCH_CACHE (generated grids, default $TMPDIR/morvale-bench),
# MORVALE_BENCH_RUNS (runs per figure, default 3), MORVALE_BENCH_SIZE (cells
# a side, default 20000), MORVALE_BENCH_TILE (tile cells a side, default 2000).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${MORVALE_BENCH_BUILD:-build/bench}
cache=${MORVALE_BENCH_CACHE:-$(dirname "$(mktemp -u)")/morvale-bench}
runs=${MORVALE_BENCH_RUNS:-3}
size=${MORVALE_BENCH_SIZE:-20000}
tile=${MORVALE_BENCH_TILE:-2000}

. "$(dirname "$0")/bench-grid.sh"
bench_setup tile-size cut_grid_tiles

if ((size > 0)); then
  grid=$cache/grid-${size}x${size}.asc
  bench_grid "$build" "$grid" "$size" "$size"
  echo "== $size x $size cells ($(du -m "$grid" | cut -f1) MB) whole and cut by --tile-size $tile, medians of $runs runs"
  for ((i = 1; i <= runs; i++)); do
    rm -rf "$work/out" && mkdir -p "$work/out"
    run whole "$convert" "$grid" -o "$work/out/whole.obj" --quiet
    rm -rf "$work/out" && mkdir -p "$work/out"
    run cut "$convert" "$grid" --tile-size "$tile" -j 2 -o "$work/out" --quiet
  done
  rm -rf "$work/out"
  awk -v tw="$(median "$work/whole")" -v tc="$(median "$work/cut")" -v cw="$(median "$work/whole" 3)" \
      -v cc="$(median "$work/cut" 3)" -v mw="$(maxOf "$work/whole")" -v mc="$(maxOf "$work/cut")" -v t="$tile" 'BEGIN {
    printf "  %-36s %9s %9s %9s\n", "", "median s", "cpu s", "peak MB"
    printf "  %-36s %9.2f %9.2f %9.1f\n", "whole grid, one mesh", tw, cw, mw / 1024
    printf "  %-36s %9.2f %9.2f %9.1f\n", "--tile-size " t " -j 2, one process", tc, cc, mc / 1024
    printf "  set vs whole: %.2fx the time, %.2fx the processor time, %.2fx the peak memory\n", tc / tw, cc / cw, mc / mw }'
fi

small=$cache/grid-4000x4000.asc
bench_grid "$build" "$small" 4000 4000
tiles=$cache/tiles-4x4
if [ ! -f "$tiles/done" ] || [ "$tiles/done" -ot "$small" ]; then
  rm -rf "$tiles" && mkdir -p "$tiles"
  "$build/bench/cut_grid_tiles" "$small" "$tiles" 4 4
  touch "$tiles/done"
fi
mkdir -p "$work/pieces"
for t in "$tiles"/*.asc; do "$convert" "$t" --write-seams "$work/pieces/$(basename "$t" .asc).seams" --quiet; done
inner=$tiles/tile_1_1.asc
echo "== one 1000 x 1000 tile's task with --seams on 16 pieces, medians of $runs runs"
for ((i = 1; i <= runs; i++)); do
  rm -rf "$work/out" && mkdir -p "$work/out"
  sync
  lines=$("$measure" "$convert" "$inner" --seams "$work/pieces" -o "$work/out")
  # The measure's line comes last; the table's row names the tile.
  echo "${lines##*$'\n'}" | cut -d' ' -f1-3 >>"$work/task"
  echo "$lines" | awk '$1 ~ /tile_1_1.asc$/ { print $(NF - 1) }' >>"$work/conversion"
  run alone "$convert" "$inner" -o "$work/out/alone.obj" --quiet
done
awk -v tt="$(median "$work/task")" -v tc="$(median "$work/conversion")" -v mt="$(maxOf "$work/task")" \
    -v ta="$(median "$work/alone")" 'BEGIN {
  printf "  task %.3f s (peak %.1f MB), of which the conversion %.3f s: overhead %.3f s, %.1f %% of the conversion\n",
    tt, mt / 1024, tc, tt - tc, 100 * (tt - tc) / tc
  printf "  the same tile converted alone, no index: %.3f s; the index costs the task %.3f s\n", ta, tt - ta }'
