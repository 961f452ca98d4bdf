#!/usr/bin/env bash
# Cross-builds the Windows program and its window tests (CMake preset
# "windows") and runs the tests with CTest inside a private Wine session
# (tools/wine-session.sh: temporary prefix, own wineserver, own Xvfb display).
# Installs nothing: tools/setup-deps.sh does that.
#
# Usage: tools/run-windows-tests.sh [extra ctest arguments...]
# MORVALE_WINDOWS_BUILD_DIR chooses another build folder than the preset's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build_args=()
if [ -n "${MORVALE_WINDOWS_BUILD_DIR:-}" ]; then
  build_args=(-B "$MORVALE_WINDOWS_BUILD_DIR")
fi
cmake --preset windows "${build_args[@]}" >/dev/null
build_dir=${MORVALE_WINDOWS_BUILD_DIR:-build/windows}
cmake --build "$build_dir" -j 2

log=$(mktemp -t morvale-windows-ctest.XXXXXX)
trap 'rm -f "$log"' EXIT
status=0
tools/wine-session.sh ctest --test-dir "$build_dir" --output-on-failure "$@" 2>&1 | tee "$log" || status=$?
# Make the outcome easy to find in a long CI log.
summary=$(grep -E "tests passed|tests failed" "$log" | tail -n 1 || true)
echo "Windows tests under Wine: ${summary:-no CTest summary (status $status)}"
if [ "$status" -eq 0 ] && [ -z "$summary" ]; then status=1; fi
exit "$status"
