# Sourced by the benchmark scripts: makes the shared benchmark grid once.
# bench_grid BUILD_DIR FILE COLS ROWS
bench_grid() {
  if [ ! -f "$2" ]; then
    echo "== generating $2"
    "$1/tools/morvale-make-grid" "$2.part" --cols "$3" --rows "$4"
    mv "$2.part" "$2"
  fi
}
