#!/usr/bin/env bash
# The tile set benchmark: the 4000 x 4000 grid of bench/run-bench.sh cut into
# 4 x 4 tiles of 1000 x 1000 cells, measured side by side in one run, runs
# interleaved, medians reported:
#   - the whole set, both passes, with -j 1 and -j 2, against the conversion
#     of the merged grid (the 4000 x 4000 grid itself);
#   - the first pass alone (--write-seams);
#   - peak memory of one job: one tile converted with --seams, against the
#     same tile converted alone and against the merged grid.
# Every run writes its meshes into a scratch folder, the merged grid's too:
# writing a gigabyte of text costs as much as converting it, so a merged run
# into /dev/null against a set written to disk would compare unlike things.
#
#   bench/run-tiles-bench.sh
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
bench_setup tiles cut_grid_tiles
grid=$cache/grid-4000x4000.asc
bench_grid "$build" "$grid" 4000 4000
tiles=$cache/tiles-4x4
if [ ! -f "$tiles/done" ] || [ "$tiles/done" -ot "$grid" ]; then
  echo "== cutting $grid into 4 x 4 tiles"
  rm -rf "$tiles"
  mkdir -p "$tiles"
  "$build/bench/cut_grid_tiles" "$grid" "$tiles" 4 4
  touch "$tiles/done"
fi
tile=$tiles/tile_1_1.asc  # an inner tile: neighbours on every side


# run NAME COMMAND...: appends "seconds peakKiB cpuSeconds" to $work/NAME.
run() {
  local name=$1
  shift
  rm -rf "$work/out"
  mkdir -p "$work/out"
  sync
  local figures status
  figures=$("$measure" "$@")
  status=${figures##* }
  if [ "$status" != 0 ] && [ "$status" != 1 ]; then
    echo "failed ($status): $*" >&2
    exit 1
  fi
  echo "${figures% *}" >>"$work/$name"
}

# A build that cannot convert a set's tiles (one tile with --seams fails) gets the stand-in figures.
"$convert" "$tiles" --write-seams "$work/set.seams" --quiet
if ! "$convert" "$tile" --seams "$work/set.seams" -o "$work" --quiet; then
  echo "This build cannot convert the tiles of a set yet (the builders do not read a tile's cells)." >&2
  echo "Measured instead: the first pass, and each tile converted alone as a stand-in for the second." >&2
  wired=0
else
  wired=1
fi

echo "== 4 x 4 tiles of 1000 x 1000 cells, medians of $runs runs"
for ((i = 1; i <= runs; i++)); do
  run merged "$convert" "$grid" -o "$work/out/merged.obj" --quiet
  run seams "$convert" "$tiles" --write-seams "$work/out/set.seams" --quiet
  if ((wired)); then
    run set1 "$convert" "$tiles" -o "$work/out" -j 1 --quiet
    run set2 "$convert" "$tiles" -o "$work/out" -j 2 --quiet
    run onetile "$convert" "$tile" --seams "$work/set.seams" -o "$work/out" --quiet
  else
    run set1 sh -c "for t in '$tiles'/*.asc; do '$convert' \"\$t\" -o /dev/null --quiet || exit \$?; done"
    run set2 sh -c "ls '$tiles'/*.asc | xargs -P 2 -I{} '$convert' {} -o /dev/null --quiet"
  fi
  run alone "$convert" "$tile" -o "$work/out/alone.obj" --quiet
done

tm=$(median "$work/merged") ts=$(median "$work/seams")
t1=$(median "$work/set1") t2=$(median "$work/set2")
# Processor time (all threads) too: on a shared machine it is the steadier figure.
awk -v cm="$(median "$work/merged" 3)" -v cs="$(median "$work/seams" 3)" -v c1="$(median "$work/set1" 3)" \
    -v c2="$(median "$work/set2" 3)" 'BEGIN {
  printf "  processor seconds: merged %.2f, first pass %.2f, set -j 1 %.2f, set -j 2 %.2f\n", cm, cs, c1, c2 }'
awk -v tm="$tm" -v ts="$ts" -v t1="$t1" -v t2="$t2" -v wired="$wired" \
    -v mm="$(maxOf "$work/merged")" -v ma="$(maxOf "$work/alone")" -v m1="$(maxOf "$work/set1")" \
    -v m2="$(maxOf "$work/set2")" -v mo="$( ((wired)) && maxOf "$work/onetile" || echo 0)" 'BEGIN {
  second = wired ? "both passes" : "first pass + tiles alone"
  printf "  %-40s %9s %9s\n", "", "median s", "peak MB"
  printf "  %-40s %9.3f %9.1f\n", "merged grid (4000 x 4000)", tm, mm / 1024
  printf "  %-40s %9.3f\n", "first pass (--write-seams)", ts
  if (wired) {
    printf "  %-40s %9.3f %9.1f\n", "set, -j 1", t1, m1 / 1024
    printf "  %-40s %9.3f %9.1f\n", "set, -j 2", t2, m2 / 1024
  } else {
    printf "  %-40s %9.3f %9.1f\n", "16 tiles alone, one at a time", t1, m1 / 1024
    printf "  %-40s %9.3f %9.1f\n", "16 tiles alone, two at a time", t2, m2 / 1024
    t1 += ts; t2 += ts
  }
  if (wired) printf "  %-40s %9s %9.1f\n", "one tile with --seams (one job)", "", mo / 1024
  printf "  %-40s %9s %9.1f\n", "the same tile alone", "", ma / 1024
  printf "\n  -j 2 vs -j 1 (%s): %.2fx faster\n", second, t1 / t2
  printf "  whole set with -j 2 (%s) vs merged grid: %.2fx its time\n", second, t2 / tm
  printf "  whole set with -j 1 (%s) vs merged grid: %.2fx its time\n", second, t1 / tm
}'
