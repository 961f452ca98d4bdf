# Sourced by the benchmark scripts: their build and scratch folder, the
# shared benchmark grid, made once, one measured run, and the figures taken
# from the runs' records.

# bench_setup PREFIX [TARGET...]: builds morvale-convert, the grid maker,
# measure_run and the targets named (Release, benchmarks on) in $build, and
# sets convert, measure and work (a scratch folder PREFIX.XXXXXX in $cache,
# removed when the script exits).
bench_setup() {
  local prefix=$1
  shift
  echo "== building (Release) in $build"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMORVALE_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" -j2 --target morvale-convert morvale-make-grid measure_run "$@" >/dev/null
  convert=$build/morvale-convert
  measure=$build/bench/measure_run
  mkdir -p "$cache"
  work=$(mktemp -d "$cache/$prefix.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}

# bench_grid BUILD_DIR FILE COLS ROWS
bench_grid() {
  if [ ! -f "$2" ]; then
    echo "== generating $2"
    "$1/tools/morvale-make-grid" "$2.part" --cols "$3" --rows "$4"
    mv "$2.part" "$2"
  fi
}

# median FILE [COLUMN]: the median of the numbers in a column (default 1) of FILE.
median() {
  awk -v c="${2:-1}" '{ print $c }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# maxOf FILE: the largest number in column 2 of FILE.
maxOf() { awk 'BEGIN { m = 0 } $2 > m { m = $2 } END { print m }' "$1"; }

# run NAME COMMAND...: measures one run with $measure and appends "seconds
# peakKiB cpuSeconds" to $work/NAME. Dirty pages of earlier runs are flushed
# first, so that no run pays for another's writes. Status 1 (a check failed,
# the output written) counts as a run.
run() {
  local name=$1
  shift
  sync
  local figures
  figures=$("$measure" "$@")
  local status=${figures##* }
  if [ "$status" != 0 ] && [ "$status" != 1 ]; then
    echo "failed ($status): $*" >&2
    exit 1
  fi
  echo "${figures% *}" >>"$work/$name"
}
