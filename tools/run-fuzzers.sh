#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) and runs each for a
# given time. Usage: tools/run-fuzzers.sh TARGET|all SECONDS
#   TARGET: grid_header, grid_body, settings, conversion, mesh_writers, simplify,
#           outline_bottom or raster
# The growing corpus lives in build/fuzz-corpus/TARGET, crash inputs in
# build/fuzz-artifacts/TARGET; the grids of ../shared/data/grids are read in
# place as extra seeds. Each run's CPU time is appended to build/fuzz-cpu.log.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ]; then
  echo "usage: $0 grid_header|grid_body|settings|conversion|mesh_writers|simplify|outline_bottom|raster|all SECONDS" >&2
  exit 2
fi
which=$1
seconds=$2
all_targets=(grid_header grid_body settings conversion mesh_writers simplify outline_bottom raster)
if [ "$which" = all ]; then
  targets=("${all_targets[@]}")
else
  case " ${all_targets[*]} " in
    *" $which "*) targets=("$which") ;;
    *) echo "unknown target '$which'" >&2; exit 2 ;;
  esac
fi

tools/setup-deps.sh native
build=build/fuzz
mkdir -p build
# Several runs may start at once; one build at a time.
(
  flock 9
  cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
  cmake --build "$build" -j 2 >/dev/null
) 9>build/fuzz.lock

# Small grids like the unit tests write: a plain one, no-data cells, a nan
# token, CR LF lines, short and long bodies, a one-line body, odd keywords.
write_grid_seeds() {
  local dir=$1
  mkdir -p "$dir"
  printf 'ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3\n4 5 6\n' >"$dir/plain.asc"
  printf 'ncols 4\nnrows 3\nxllcenter 10.5\nyllcenter -3\ncellsize 0.5\nnodata_value -9999\n1 -9999 3 4\n5 6 nan 8\n9 10 11 -9999\n' >"$dir/nodata.asc"
  printf 'ncols 2\r\nnrows 2\r\nxllcorner 1e3\r\nyllcorner .5E+2\r\ncellsize 25\r\n1.5 2.5\r\n3.5 4.5\r\n' >"$dir/crlf.asc"
  printf 'ncols 3\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3 4 5 6 7 8 9\n' >"$dir/oneline.asc"
  printf 'ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n4\n' >"$dir/short.asc"
  printf 'ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n4 5 6\n7 8 9 10\n' >"$dir/long.asc"
  printf 'NCOLS 2\nNROWS 2\nXLLCORNER 0\nYLLCORNER 0\nDX 2\nDY 2\nNODATA_VALUE nan\n1 nan\n-nan 4\n' >"$dir/dxdy.asc"
  printf 'nrows 2\nncols 2\ncellsize 1\nyllcorner 0\nxllcorner 0\n5-3 1.2.3\n1e 0x10 7\n' >"$dir/order.asc"
  printf 'ncols 1\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1\n1\n1e400\n1e-400\n' >"$dir/onecol.asc"
  printf 'ncols 2147483647\nnrows 2147483647\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2\n' >"$dir/huge.asc"
  printf 'ncols 3\rnrows 2\rxllcorner 0\ryllcorner 0\rcellsize 1\r1 2 3\r4 5 6\r' >"$dir/cr.asc"
}

# Heights and data masks for the mesh writers: flat, a ramp, holes, a checkerboard.
write_mesh_seeds() {
  local dir=$1
  mkdir -p "$dir"
  head -c 200 /dev/zero | tr '\0' 'P' >"$dir/flat"
  printf '\x00\x10\x20\x30\x40\x50\x60\x70\x80\x90\xa0\xb0\xc0\xd0\xe0\xf0%.0s' 1 2 3 4 5 6 >"$dir/ramp"
  printf '\x05\x0a\x01\x02\x03\x04%.0s' $(seq 40) >"$dir/holes"
  printf '\x00\x01%.0s' $(seq 100) >"$dir/checker"
}

# Grid size, window, bound and scale bytes, then cells (0xff: no data).
write_simplify_seeds() {
  local dir=$1
  mkdir -p "$dir"
  printf '\x05\x06\x00\x00\xff\xff\x02\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a' >"$dir/ramp"
  printf '\x09\x09\x01\x01\x06\x06\x08\x10\x10\x10\xff\x10\x10\x10\x10\x10\xff\xff\x10' >"$dir/holes"
  printf '\x2f\x2f\x00\x00\xff\xff\x0b\x40\x41\x43\x47\x4f\x5f\x7f\x00\x7f\x5f\x4f\x47' >"$dir/large"
}

write_settings_seeds() {
  local dir=$1
  mkdir -p "$dir"
  printf '\x10\x00\x00\x00\x01\x00\x31\xff\x31\xff\x39\x39\xff\x32\xff\x33\x64\x73\x20\x6d\x61\x78\xff\x31' >"$dir/plain"
  printf '\x21\x43\x00\x00\x07\x03  -5\xff0\xff2147483648\xff99999999999999999\xffMaya\xff1e-9' >"$dir/limits"
  printf '\x01\x00\x00\x00\x01\xfe 7x\xff+3\xff\xf1\xf2\xff4\xffcinema_4d\xff .5E+3junk' >"$dir/odd"
  printf '\x02\x02\x02\x02\x00\x05\xff\xff\xff\xffblender\xff1e400' >"$dir/overflow"
}

shared_grids=../shared/data/grids
mkdir -p build/fuzz-artifacts
for target in "${targets[@]}"; do
  corpus=build/fuzz-corpus/$target
  seeds=build/fuzz-corpus/$target-seeds
  mkdir -p "$corpus" "build/fuzz-artifacts/$target"
  case $target in
    settings) write_settings_seeds "$seeds"; max_len=512; extra=() ;;
    mesh_writers) write_mesh_seeds "$seeds"; max_len=512; extra=() ;;
    simplify) write_simplify_seeds "$seeds"; max_len=2400; extra=() ;;
    outline_bottom) mkdir -p "$seeds"; max_len=160; extra=() ;;  # random bytes are patterns
    # Knob bytes only (the rasters are made from them): an empty seed is enough.
    raster) mkdir -p "$seeds"; printf '\0' >"$seeds/zero"; max_len=8192; extra=() ;;
    *) write_grid_seeds "$seeds"; max_len=16384; extra=()
       [ -d "$shared_grids" ] && extra=("$shared_grids") ;;
  esac
  echo "== fuzz_$target for ${seconds}s"
  start=$(date +%s)
  set +e
  /usr/bin/time -f "%U %S" -o "build/fuzz-$target.time" \
    "$build/fuzz_$target" "$corpus" "$seeds" "${extra[@]}" \
      -max_total_time="$seconds" -max_len="$max_len" -timeout=30 -rss_limit_mb=4096 \
      -artifact_prefix="build/fuzz-artifacts/$target/" -print_final_stats=1 \
      >"build/fuzz-$target.log" 2>&1
  status=$?
  set -e
  read -r user sys <"build/fuzz-$target.time" || true
  echo "$(date -u +%FT%TZ) $target wall=$(( $(date +%s) - start ))s cpu=$(awk -v u="${user:-0}" -v s="${sys:-0}" 'BEGIN{print u+s}')s status=$status" \
    | tee -a build/fuzz-cpu.log
  tail -n 12 "build/fuzz-$target.log"
  if [ $status -ne 0 ]; then
    echo "fuzz_$target found a problem: see build/fuzz-$target.log and build/fuzz-artifacts/$target/" >&2
    exit 1
  fi
done
