#!/usr/bin/env bash
# Builds Morvale and runs every test: the native unit tests, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests
# under ThreadSanitizer, the Windows program's tests under Wine, and the
# packages made from those builds. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh all
jobs=$(nproc 2>/dev/null || echo 2)

# First, as it takes a second: a file that clang-format would change fails the
# run (the version setup-deps.sh installs decides; format with clang-format -i).
echo "== layout: clang-format"
find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror
clang-format --dry-run --Werror tools/*.cpp

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
