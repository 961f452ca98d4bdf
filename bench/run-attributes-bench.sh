#!/usr/bin/env bash
# Texture coordinates and normals against the plain conversion on the
# 4000 x 4000 benchmark grid (made by bench/run-bench.sh, or here), runs
# interleaved in one session, medians of wall time and peak memory reported.
#
#   bench/run-attributes-bench.sh
#
# Environment: MORVALE_BENCH_BUILD (default build/bench), MORVALE_BENCH_CACHE
# (generated grids, default $TMPDIR/morvale-bench), MORVALE_BENCH_RUNS (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${MORVALE_BENCH_BUILD:-build/bench}
cache=${MORVALE_BENCH_CACHE:-$(dirname "$(mktemp -u)")/morvale-bench}
runs=${MORVALE_BENCH_RUNS:-3}

. "$(dirname "$0")/bench-grid.sh"
bench_setup attributes
grid=$cache/grid-4000x4000.asc
bench_grid "$build" "$grid" 4000 4000

for mode in interpolated floating-planes; do
  : >"$work/plain"
  : >"$work/attributes"
  for ((i = 1; i <= runs; i++)); do
    for kind in plain attributes; do
      args=()
      [ "$kind" = attributes ] && args=(--uv --normals)
      rm -f "$work/out.obj"
      sync
      figures=$("$measure" "$convert" -q --mode "$mode" "${args[@]}" "$grid" -o "$work/out.obj")
      echo "$figures $(stat -c %s "$work/out.obj")" >>"$work/$kind"  # seconds peakKiB cpu status bytes
    done
  done
  rm -f "$work/out.obj"
  for kind in plain attributes; do
    seconds=$(median "$work/$kind" 1)
    peak=$(median "$work/$kind" 2)
    bytes=$(median "$work/$kind" 5)
    echo "$mode $kind: ${seconds} s, peak ${peak} KiB, $((bytes / 1048576)) MiB written" | tee -a "$work/summary"
    eval "${kind}Seconds=$seconds"
  done
  awk -v a="$attributesSeconds" -v p="$plainSeconds" -v m="$mode" 'BEGIN { printf "%s: --uv --normals take %.2fx the plain time\n", m, a / p }'
done
