#!/usr/bin/env bash
# Builds Morvale and runs every test: the native unit tests, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests
# under ThreadSanitizer, the Windows program's tests under Wine, and the
# packages made from those builds. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh all
jobs=$(nproc 2>/dev/null || echo 2)

echo "== native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

if [ -f tools/run-sanitized-tests.sh ]; then
  echo "== sanitizer build and unit tests"
  tools/run-sanitized-tests.sh
fi

echo "== ThreadSanitizer build and the threaded tests"
tools/run-tsan-tests.sh

if [ -f tools/run-windows-tests.sh ]; then
  echo "== Windows build and tests under Wine"
  tools/run-windows-tests.sh
fi

if [ -f tools/package.sh ]; then
  echo "== packages: Debian package and Windows zip"
  tools/package.sh --reuse-builds
  tools/check-packages.sh
fi
