#!/usr/bin/env bash
# The binary mesh writers side by side in one run: a synthetic COLS x ROWS
# surface (default 4000 x 4000) through each writer, runs interleaved, the
# median wall time, peak memory and file size of each reported.
#
#   bench/run-mesh-writers-bench.sh [COLS ROWS]
#
# Environment: MORVALE_BENCH_BUILD (build folder, default build/bench),
# MORVALE_BENCH_RUNS (runs per variant, default 3). Output goes to a folder in
# the temp folder, removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
cols=${1:-4000}
rows=${2:-4000}
build=${MORVALE_BENCH_BUILD:-build/bench}
runs=${MORVALE_BENCH_RUNS:-3}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMORVALE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench_mesh_writers measure_run >/dev/null
bench=$build/bench/bench_mesh_writers
measure=$build/bench/measure_run
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

variants=(null glb glb-attributes stl solid-glb solid-stl)
declare -A times memory size
for ((run = 0; run < runs; ++run)); do
  for v in "${variants[@]}"; do
    out=$work/$v.out
    read -r wall rss _cpu status < <("$measure" "$bench" "$v" "$cols" "$rows" "$out" 2>/dev/null | tail -n 1)
    [ "$status" = 0 ] || { echo "$v failed" >&2; exit 1; }
    times[$v]="${times[$v]:-} $wall"
    memory[$v]=$rss
    size[$v]=$( [ -f "$out" ] && stat -c %s "$out" || echo 0 )
    rm -f "$out"
  done
done
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "surface of ${cols} x ${rows} quads, median of $runs runs"
printf '%-16s %10s %14s %12s\n' variant seconds "peak KiB" "MB written"
for v in "${variants[@]}"; do
  printf '%-16s %10s %14s %12.1f\n' "$v" "$(echo "${times[$v]}" | median)" "${memory[$v]}" \
    "$(awk -v b="${size[$v]}" 'BEGIN{print b/1e6}')"
done
