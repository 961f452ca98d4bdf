#!/usr/bin/env bash
# The tests that run threads (the pipeline, both builders, the cell source, tile sets, the simplifier),
# built with ThreadSanitizer. Only those targets are built, to keep CI short.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target test_pipeline_equivalence test_pipeline_parts test_interpolated \
  test_floating_planes test_cell_source test_tile_sets test_simplify
ctest --preset tsan -j "$jobs"
