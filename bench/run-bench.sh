#!/usr/bin/env bash
# The conversion benchmark: morvale-convert against a straightforward
# implementation (bench/straightforward_convert.cpp) and the I/O floor
# (bench/io_floor.cpp: read the grid, write as many bytes as the conversion
# wrote), measured side by side in one run, runs interleaved, medians reported.
#
#   bench/run-bench.sh
#
# Environment: MORVALE_BENCH_BUILD (build folder, default build/bench),
# MORVALE_BENCH_CACHE (generated grids, default $TMPDIR/morvale-bench),
# MORVALE_BENCH_RUNS (runs per figure, default 5), MORVALE_BENCH_PLAIN_RUNS
# (runs of the straightforward program, default 3), MORVALE_BENCH_KEEP_HUGE=1
# (keep the 10000 x 10000 grid in the cache; it is about 850 MB),
# MORVALE_BENCH_BASELINE (another morvale-convert, for example an older
# build: measured in the same runs, interleaved, and compared).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${MORVALE_BENCH_BUILD:-build/bench}
cache=${MORVALE_BENCH_CACHE:-$(dirname "$(mktemp -u)")/morvale-bench}
runs=${MORVALE_BENCH_RUNS:-5}
baseline=${MORVALE_BENCH_BASELINE:-}
plainRuns=${MORVALE_BENCH_PLAIN_RUNS:-3}

. "$(dirname "$0")/bench-grid.sh"
bench_setup run straightforward_convert io_floor
plain=$build/bench/straightforward_convert
floor=$build/bench/io_floor
grid=$cache/grid-4000x4000.asc
bench_grid "$build" "$grid" 4000 4000

# bench TITLE CELLS MODE [CROP]: the three programs on the 4000 x 4000 grid.
bench() {
  local title=$1 cells=$2 mode=$3 crop=${4:-}
  local cropArgs=()
  [ -n "$crop" ] && cropArgs=(--crop "$crop")
  rm -f "$work"/conv "$work"/plain "$work"/floor "$work"/base
  # The converter first, once, for the size of its output.
  "$convert" "$grid" -o "$work/out.obj" --mode "$mode" --quiet "${cropArgs[@]}" || true
  local bytes
  bytes=$(stat -c %s "$work/out.obj")
  rm -f "$work/out.obj"
  # The slow straightforward runs first: their outputs live long enough to
  # reach the disk, and freeing those blocks slows the disk for a while.
  for ((i = 1; i <= plainRuns; i++)); do
    run plain "$plain" "$grid" "$work/out.obj" --mode "$mode" "${cropArgs[@]}"
    rm -f "$work/out.obj"
  done
  sync
  sleep 5
  # Then the converter, the floor (and the baseline) side by side, in turns.
  local order=(conv floor)
  [ -n "$baseline" ] && order+=(base)
  for ((i = 1; i <= runs; i++)); do
    for ((k = 0; k < ${#order[@]}; k++)); do
      case ${order[(i + k) % ${#order[@]}]} in
        conv) run conv "$convert" "$grid" -o "$work/out.obj" --mode "$mode" --quiet "${cropArgs[@]}" ;;
        floor) run floor "$floor" "$grid" "$work/out.obj" "$bytes" ;;
        base) run base "$baseline" "$grid" -o "$work/out.obj" --mode "$mode" --quiet "${cropArgs[@]}" ;;
      esac
      rm -f "$work/out.obj"
    done
  done
  awk -v title="$title" -v cells="$cells" -v bytes="$bytes" \
      -v tc="$(median "$work/conv")" -v tp="$(median "$work/plain")" -v tf="$(median "$work/floor")" \
      -v cc="$(median "$work/conv" 3)" -v cp="$(median "$work/plain" 3)" -v cf="$(median "$work/floor" 3)" \
      -v mc="$(maxOf "$work/conv")" -v mp="$(maxOf "$work/plain")" -v mf="$(maxOf "$work/floor")" 'BEGIN {
    printf "%s: %d cells, output %.1f MB\n", title, cells, bytes / 1e6
    printf "  %-16s %9s %7s %8s %9s %9s   %s\n", "program", "median s", "cpu s", "peak MB", "Mcells/s", "out MB/s", "converter vs it"
    printf "  %-16s %9.3f %7.2f %8.1f %9.2f %9.0f\n", "morvale-convert", tc, cc, mc / 1024, cells / tc / 1e6, bytes / tc / 1e6
    printf "  %-16s %9.3f %7.2f %8.1f %9.2f %9.0f   %.1fx faster\n", "straightforward", tp, cp, mp / 1024, cells / tp / 1e6, bytes / tp / 1e6, tp / tc
    printf "  %-16s %9.3f %7.2f %8.1f %9s %9.0f   %.2fx the floor time\n", "I/O floor", tf, cf, mf / 1024, "-", bytes / tf / 1e6, tc / tf
  }'
  [ -n "$baseline" ] || return 0
  awk -v cells="$cells" -v bytes="$bytes" \
      -v tc="$(median "$work/conv")" -v tp="$(median "$work/plain")" -v tf="$(median "$work/floor")" \
      -v tb="$(median "$work/base")" -v cc="$(median "$work/conv" 3)" -v cb="$(median "$work/base" 3)" \
      -v mb="$(maxOf "$work/base")" 'BEGIN {
    printf "  %-16s %9.3f %7.2f %8.1f %9.2f %9.0f   %.3fx its time, %.3fx its cpu\n", "baseline", tb, cb, mb / 1024, cells / tb / 1e6, bytes / tb / 1e6, tc / tb, cc / cb
    printf "  %-16s %.1fx faster than straightforward, %.2fx the floor time\n", "baseline ratios", tp / tb, tb / tf
  }'
}

echo "== 4000 x 4000 grid, medians of $runs runs ($plainRuns of the straightforward program)"
bench "Interpolated, whole grid" 16000000 interpolated
bench "Floating planes, whole grid" 16000000 floating-planes
bench "Interpolated, window of 100 x 100 cells" 10000 interpolated 1951,1951,2050,2050
bench "Floating planes, window of 100 x 100 cells" 10000 floating-planes 1951,1951,2050,2050

huge=$cache/grid-10000x10000.asc
bench_grid "$build" "$huge" 10000 10000  # about 850 MB
echo "== 10000 x 10000 grid, peak memory (output to /dev/null: the figure is memory, not speed)"
programs=("$convert")
[ -n "$baseline" ] && programs+=("$baseline")
for mode in interpolated floating-planes; do
  for program in "${programs[@]}"; do
    rm -f "$work/huge"
    run huge "$program" "$huge" -o /dev/null --mode "$mode" --quiet
    read -r seconds kib _ <"$work/huge"
    label=$mode
    [ "$program" = "$baseline" ] && label="$mode (baseline)"
    awk -v mode="$label" -v s="$seconds" -v k="$kib" 'BEGIN {
      printf "  %-27s peak %7.1f MB  (%.2f bytes per cell)  time %.2f s\n", mode, k / 1024, k * 1024 / 1e8, s }'
  done
done
if [ "${MORVALE_BENCH_KEEP_HUGE:-0}" != 1 ]; then rm -f "$huge"; fi
