#!/usr/bin/env bash
# Makes the packages of the version in CMakeLists.txt, in build/packages/:
#   morvale-convert_VERSION_amd64.deb      the command-line converter, its manual
#                                          page and bash completion (Debian)
#   morvale-VERSION-windows-x86_64.zip     morvale.exe, morvale-convert.exe,
#                                          README.md, LICENSE and NOTICE
# Each is built from the source tree in a fresh build folder of its own
# (build/package-deb, build/package-windows), without tests. With
# --reuse-builds it packages the preset builds instead (build/native and
# build/windows, already built), as the test command does.
# tools/check-packages.sh checks what this makes.
#
# Usage: tools/package.sh [--reuse-builds] [deb] [zip]   (both when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

reuse=0
kinds=()
for arg in "$@"; do
  case $arg in
    --reuse-builds) reuse=1 ;;
    deb | zip) kinds+=("$arg") ;;
    *) echo "usage: $0 [--reuse-builds] [deb] [zip]" >&2; exit 64 ;;
  esac
done
[ ${#kinds[@]} -gt 0 ] || kinds=(deb zip)

tools/setup-deps.sh all
if [ -n "$(git status --porcelain 2>/dev/null || true)" ]; then
  echo "package: note: the work tree has uncommitted changes; they go into the packages" >&2
fi
jobs=$(nproc 2>/dev/null || echo 2)
out=build/packages
mkdir -p "$out"

# Configures (unless reused) and builds one folder, then runs CPack in it.
package_in() {
  local dir=$1 generator=$2
  shift 2
  if [ "$reuse" -eq 0 ]; then
    rm -rf "$dir"
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DMORVALE_BUILD_TESTS=OFF -DMORVALE_BUILD_BENCH=OFF \
      "$@" >/dev/null
  fi
  cmake --build "$dir" -j "$jobs"
  rm -rf "$dir/packages"
  (cd "$dir" && cpack -G "$generator" >/dev/null)
  local made
  made=$(find "$dir/packages" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.zip' \))
  [ -n "$made" ] || { echo "package: CPack made nothing in $dir" >&2; exit 1; }
  cp $made "$out/"
  echo "made $out/$(basename $made)"
}

for kind in "${kinds[@]}"; do
  case $kind in
    deb)
      if [ "$reuse" -eq 1 ]; then package_in build/native DEB
      # GDAL on, whatever the default: the package depends on its runtime.
      else package_in build/package-deb DEB -DMORVALE_GDAL=ON; fi ;;
    zip)
      if [ "$reuse" -eq 1 ]; then package_in build/windows ZIP
      else package_in build/package-windows ZIP --toolchain cmake/mingw-w64-x86_64.cmake; fi ;;
  esac
done
