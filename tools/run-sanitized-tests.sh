#!/usr/bin/env bash
# The native unit tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tools/lsan-suppressions.txt}
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
# Tests labelled "external" drive whole outside programs (slicers, schedulers,
# the window end to end); the native run covers them, and under the sanitizers
# they would only cost minutes.
ctest --preset sanitize -j "$jobs" -LE external
