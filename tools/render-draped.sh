#!/usr/bin/env bash
# A rendered picture of a grid converted with a draped image: makes an
# elevation colour picture with a hillshade of the grid's extent, converts
# the grid with --texture PICTURE --normals, imports the OBJ in Blender
# headless and renders it smooth shaded (Cycles on the CPU).
# Usage: tools/render-draped.sh CONVERTER GRID.asc OUT.png [converter options...]
# The OBJ, its material and the picture are left beside OUT.png;
# MORVALE_DRAPE_BLOCK sets the picture's pixels per cell side (default 4).
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
convert=$1 grid=$2 out=$3
shift 3
command -v blender >/dev/null || { echo "blender is not installed (tools/setup-deps.sh)" >&2; exit 2; }
base=${out%.png}
view() { blender --background --factory-startup --python-exit-code 1 --python "$tools/blender_obj_view.py" -- "$@" 2>&1 |
  grep '^blender-'; }
view --make-image "$grid" "$base-drape.png" --block "${MORVALE_DRAPE_BLOCK:-4}" --hillshade
"$convert" -q --texture "$base-drape.png" --normals "$@" "$grid" -o "$base.obj"
view --obj "$base.obj" --expect-uv --expect-normals --render "$out"
