#!/usr/bin/env bash
# The printable solid against the surface it closes, on the 4000 x 4000
# benchmark grid: STL size, median time and peak memory of the surface and of
# the solid, and the triangle counts with --max-error 1, in interleaved runs.
#
#   bench/run-print-bench.sh
#
# Environment: MORVALE_BENCH_BUILD (build folder, default build/bench),
# MORVALE_BENCH_CACHE (generated grids, default $TMPDIR/morvale-bench),
# MORVALE_BENCH_RUNS (runs per figure, default 3), MORVALE_BENCH_BASELINE
# (another morvale-convert, an older build say: its solid is measured in the
# same turns and set beside this one).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${MORVALE_BENCH_BUILD:-build/bench}
cache=${MORVALE_BENCH_CACHE:-$(dirname "$(mktemp -u)")/morvale-bench}
runs=${MORVALE_BENCH_RUNS:-3}
baseline=${MORVALE_BENCH_BASELINE:-}

. "$(dirname "$0")/bench-grid.sh"
bench_setup run
grid=$cache/grid-4000x4000.asc
bench_grid "$build" "$grid" 4000 4000

# NAME PROGRAM OPTIONS...: one run into $work/NAME.stl, its figures appended to $work/NAME.
one() {
  local name=$1 program=$2
  shift 2
  run "$name" "$program" "$grid" -q --format stl -o "$work/$name.stl" "$@"
  stat -c %s "$work/$name.stl" >"$work/$name.bytes"
  rm -f "$work/$name.stl"
}
for ((turn = 1; turn <= runs; ++turn)); do
  echo "== turn $turn of $runs"
  one surface "$convert"
  one solid "$convert" --solid
  [ -z "$baseline" ] || one before "$baseline" --solid
done

row() {
  printf '%-22s %10.1f MB %8.2f s %8.1f MB\n' "$1" "$(awk '{ print $1 / 1e6 }' "$work/$2.bytes")" \
    "$(median "$work/$2")" "$(awk -v k="$(maxOf "$work/$2")" 'BEGIN { print k / 1024 }')"
}
echo
printf '%-22s %13s %10s %11s\n' "4000 x 4000, STL" "size" "time" "peak"
row "surface" surface
row "solid" solid
[ -z "$baseline" ] || row "solid (baseline)" before
awk -v a="$(cat "$work/solid.bytes")" -v b="$(cat "$work/surface.bytes")" \
  -v t="$(median "$work/solid")" -v u="$(median "$work/surface")" \
  'BEGIN { printf "solid / surface: size %.4f x, time %.3f x\n", a / b, t / u }'
if [ -n "$baseline" ]; then
  awk -v a="$(cat "$work/before.bytes")" -v b="$(cat "$work/surface.bytes")" \
    -v t="$(median "$work/before")" -v u="$(median "$work/surface")" \
    'BEGIN { printf "baseline solid / surface: size %.4f x, time %.3f x\n", a / b, t / u }'
fi

# Triangles with --max-error 1, from the summaries.
triangles() {
  "$1" "$grid" --format stl -o "$work/simplified.stl" --max-error 1 "${@:2}" |
    awk -F: '/^Triangles/ { gsub(/[^0-9]/, "", $2); print $2 }'
  rm -f "$work/simplified.stl"
}
surface=$(triangles "$convert")
solid=$(triangles "$convert" --solid)
echo
echo "--max-error 1: surface $surface triangles, solid $solid ($(awk -v a="$solid" -v b="$surface" 'BEGIN { printf "%.4f", a / b }') x)"
if [ -n "$baseline" ]; then
  before=$(triangles "$baseline" --solid)
  echo "--max-error 1, baseline solid: $before ($(awk -v a="$before" -v b="$surface" 'BEGIN { printf "%.4f", a / b }') x)"
fi
