#!/usr/bin/env bash
# The terrain simplifier against the comparison simplifier (the npm package
# delatin, installed into build/delatin), on the same corner heights: real
# DEMs from ../shared/data/grids and the 4000 x 4000 grid of run-bench.sh,
# at E = 0.5, 1, 2 and 5. Times are processor seconds from heights in memory
# to the finished mesh (robust on a shared machine); wall seconds are kept in
# the raw files. Then whole conversions of the 4000 x 4000 grid to disk, full
# and at --max-error 1, in turns (MORVALE_BENCH_RUNS each, default 5), and the
# peak memory of a streamed 10000 x 10000 run.
#
#   bench/run-simplify-bench.sh [--no-huge]
#
# Environment: MORVALE_BENCH_BUILD (default build/bench), MORVALE_BENCH_CACHE
# (generated grids, default $TMPDIR/morvale-bench, shared with run-bench.sh).
#
# The comparison simplifier knows no holes: corners without data get the
# height of their west neighbour (bench_simplify.cpp), and it triangulates
# them. Ours keeps holes, the window outline and its band and block lines
# exact, which costs some triangles.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${MORVALE_BENCH_BUILD:-build/bench}
cache=${MORVALE_BENCH_CACHE:-$(dirname "$(mktemp -u)")/morvale-bench}
errors=(0.5 1 2 5)

echo "== building (Release) in $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMORVALE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench_simplify measure_run morvale-make-grid morvale-convert >/dev/null
simplify=$build/bench/bench_simplify
measure=$build/bench/measure_run

delatin=build/delatin
if [ ! -f "$delatin/node_modules/delatin/package.json" ]; then
  echo "== installing delatin into $delatin"
  mkdir -p "$delatin"
  (cd "$delatin" && npm install --no-audit --no-fund --silent delatin@0.2.0 >/dev/null)
fi

mkdir -p "$cache"
work=$(mktemp -d "$cache/simplify.XXXXXX")
trap 'rm -rf "$work"' EXIT

. "$(dirname "$0")/bench-grid.sh"
grid=$cache/grid-4000x4000.asc
bench_grid "$build" "$grid" 4000 4000

size() { awk 'tolower($1) == "ncols" { c = $2 } tolower($1) == "nrows" { r = $2 } END { print c, r }' "$1"; }

printf '%-44s %5s %10s %10s %6s %9s %9s %7s\n' grid E ours delatin ratio "ours s" "delatin s" speed
for g in ../shared/data/grids/ava_slideTopo.asc ../shared/data/grids/landlab_Square_TestBasin.asc \
         ../shared/data/grids/landlab_west_bijou_escarpment_snippet.asc ../shared/data/grids/landlab_hugo_site.asc \
         "$grid"; do
  [ -f "$g" ] || continue
  read -r cols rows < <(size "$g")
  "$simplify" "$g" --heights "$work/heights" "${errors[@]}" >"$work/ours"
  node --max-old-space-size=6000 bench/delatin_run.mjs "$delatin" "$work/heights" $((cols + 1)) $((rows + 1)) \
    "${errors[@]}" >"$work/theirs"
  # ours: E triangles vertices wall cpu reached; theirs: E triangles vertices wall cpu
  paste "$work/ours" "$work/theirs" | awk -v name="$(basename "$g") ${cols}x${rows}" '{
    printf "%-44s %5s %10d %10d %6.3f %9.4f %9.4f %6.1fx\n", name, $1, $2, $8, $2 / $8, $5, $11, $11 / ($5 > 0 ? $5 : 0.001) }'
  rm -f "$work/heights"
done

# Whole conversions to disk, in turns.
runs=${MORVALE_BENCH_RUNS:-5}
for ((i = 1; i <= runs; i++)); do
  run full "$build/morvale-convert" "$grid" -o "$work/out.obj" --quiet
  rm -f "$work/out.obj"
  run simplified "$build/morvale-convert" "$grid" -o "$work/out.obj" --quiet --max-error 1
  rm -f "$work/out.obj"
done
echo "== 4000 x 4000, whole conversion to disk, medians of $runs in turns"
for name in full simplified; do
  awk -v name="$name" -v s="$(median "$work/$name")" -v c="$(median "$work/$name" 3)" -v m="$(maxOf "$work/$name")" \
    'BEGIN { printf "  %-30s wall %6.3f s  cpu %6.2f s  peak %6.1f MB\n", name, s, c, m / 1024 }'
done
awk -v f="$(median "$work/full")" -v s="$(median "$work/simplified")" \
  'BEGIN { printf "  --max-error 1 takes %.2fx the full conversion'"'"'s time\n", s / f }'

if [ "${1:-}" != --no-huge ]; then
  huge=$cache/grid-10000x10000.asc
  bench_grid "$build" "$huge" 10000 10000  # about 850 MB
  echo "== 10000 x 10000, streamed from the file at E = 1 (read, simplify, faces spooled and replayed)"
  "$measure" "$simplify" --stream "$huge" 1 | awk 'NR == 1 { print "  E triangles vertices seconds reached: " $0 } NR == 2 {
    printf "  wall %.1f s, peak %.1f MB, cpu %.1f s\n", $1, $2 / 1024, $3 }'
fi
