#!/usr/bin/env bash
# Installs what building and testing Morvale needs on Debian, only when missing.
# Usage: tools/setup-deps.sh [native|all]
#   native: the Linux build (compiler, CMake, GoogleTest, GDAL for every raster
#           besides Esri ASCII grids and its tools for the tests that make
#           GeoTIFFs, lib3mf for 3MF output, man for the manual page test,
#           clang-format for the layout check), the mesh file checkers
#           (admesh, assimp, the glTF validator from npm, PrusaSlicer, whose
#           command line slices the solids), GNU parallel, Slurm and munge
#           for the tile recipes' tests
#   all:    also the Windows cross compiler, Wine, Xvfb, the tools of the window
#           tests, and what makes and checks the packages (tools/package.sh)
set -euo pipefail

want=(g++ cmake make libgtest-dev clang libclang-rt-14-dev clang-format man-db gzip admesh assimp-utils)
want+=(libgdal-dev gdal-bin lib3mf-dev prusa-slicer)
# Node may come from elsewhere with its own npm; Debian's npm only when none is there.
command -v npm >/dev/null || want+=(nodejs npm)
# The tile set recipes' engines (tests/scripts/tile_recipes.sh): GNU parallel, and Slurm with munge.
want+=(parallel slurm-wlm munge)
if [ "${1:-all}" = all ]; then
  # The -posix compiler package only: the meta packages drag in the win32
  # thread model, which cannot run std::thread.
  # fonts-roboto-unhinted: the stand-in for "Segoe UI" (tools/morvale-window.sh).
  want+=(g++-mingw-w64-x86-64-posix wine64 wine xvfb fonts-wine fonts-roboto-unhinted xdotool imagemagick x11-utils)
  want+=(dpkg-dev file lintian zip unzip)
  # Blender: a real reader of the OBJ's texture coordinates, normals and material.
  want+=(blender)
fi

missing=()
for pkg in "${want[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The glTF validator, under build/npm (the mesh reader checks skip without it).
"$(dirname "$0")/install-gltf-validator.sh" || echo "glTF validator not installed: its checks will be skipped" >&2
