#!/usr/bin/env bash
# The main job: builds Morvale, makes the bundled sample terrain grid and
# converts it into an OBJ mesh with morvale-convert. Installs what is missing.
# Extra arguments go to morvale-convert (for example --mode floating-planes).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc 2>/dev/null || echo 2)" --target morvale-convert morvale-make-grid

mkdir -p build/sample
grid=build/sample/sample_terrain.asc
[ -f "$grid" ] || build/native/tools/morvale-make-grid "$grid" --cols 320 --rows 240 --seed 7
build/native/morvale-convert "$grid" -o build/sample/sample_terrain.obj "$@"
echo "Written: build/sample/sample_terrain.obj"
