#!/usr/bin/env bash
# Real readers see a texture coordinate and a normal on every vertex: a
# hand-written OBJ (quad and triangle, shared and per-vertex normals) and the
# converter's output from a real grid in both modes. Skips (77) without assimp.
# Usage: attribute_readers.sh CONVERTER GRIDS_FOLDER
set -euo pipefail
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
convert=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
grids=$(cd "$2" 2>/dev/null && pwd) ||
  { echo "FAIL: the real grids are missing: expected $2 (../shared beside the checkout)" >&2; exit 1; }
command -v assimp >/dev/null || { echo "assimp not installed"; [ -n "${CI:-}" ] && exit 1; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# Each vertex's "v", "vt" and "vn" lines side by side, as a streaming writer puts them.
printf '%s\r\n' 'mtllib hand.mtl' \
  'v 0 0 0' 'vt 0.000000 0.000000' 'vn 0.0000 0.0000 1.0000' \
  'v 1 0 0' 'vt 0.500000 0.000000' 'vn -0.2000 0.0000 0.9798' \
  'v 1 1 0.5' 'vt 0.500000 1.000000' 'vn 0.0000 -0.3000 0.9539' \
  'v 0 1 0' 'vt 0.000000 1.000000' 'vn 0.0000 0.0000 1.0000' \
  'v 2 0 0' 'vt 1.000000 0.000000' 'vn 0.0000 0.0000 1.0000' \
  '# 5 vertices' '' 'o hand' 'g hand' 'usemtl hand' 'f 1/1/1 2/2/2 3/3/3 4/4/4' 'f 2/2/2 5/5/5 3/3/3' >hand.obj
printf '%s\r\n' 'newmtl hand' 'Kd 1.000000 1.000000 1.000000' 'map_Kd hand.png' >hand.mtl
grep -v '^vn' hand.obj | sed 's#/\([0-9]*\)/[0-9]*#/\1#g' >uv-only.obj

"$tools/check-attributes.sh" hand.obj
"$tools/check-attributes.sh" uv-only.obj uv
if "$tools/check-attributes.sh" uv-only.obj 2>/dev/null; then
  echo "FAIL: an OBJ without normals passed the check" >&2
  exit 1
fi

# The converter in both modes, draped with an image that is not there (a warning only).
"$convert" -q --normals --texture hugo.png "$grids/landlab_hugo_site.asc" -o hugo.obj 2>warning.txt
grep -q 'texture image not found' warning.txt || { echo "FAIL: no warning for a missing image" >&2; exit 1; }
grep -q '^map_Kd hugo.png' hugo.mtl || { echo "FAIL: the material does not name the image" >&2; exit 1; }
"$tools/check-attributes.sh" hugo.obj
"$convert" -q --uv --normals --mode floating-planes "$grids/landlab_hugo_site.asc" -o planes.obj
"$tools/check-attributes.sh" planes.obj
# Simplified: triangles and merged planes, OBJ for assimp, GLB for the glTF validator.
"$convert" -q --uv --normals --max-error 1 "$grids/landlab_hugo_site.asc" -o simplified.obj
"$tools/check-attributes.sh" simplified.obj
"$convert" -q --uv --normals --mode floating-planes --max-error 1 "$grids/landlab_hugo_site.asc" -o merged.obj
"$tools/check-attributes.sh" merged.obj
modules="$tools/../build/npm/node_modules"
if command -v node >/dev/null && [ -d "$modules/gltf-validator" ]; then
  "$convert" -q --uv --normals --max-error 1 "$grids/landlab_hugo_site.asc" -o simplified.glb
  "$convert" -q --uv --normals --mode floating-planes --max-error 1 "$grids/landlab_hugo_site.asc" -o merged.glb
  node "$tools/gltf-validate.js" "$modules" simplified.glb merged.glb
else
  echo "node or the glTF validator not installed: simplified GLB not validated"
fi

if command -v blender >/dev/null; then
  for obj in hand.obj hugo.obj planes.obj simplified.obj; do
    blender --background --factory-startup --python-exit-code 1 --python "$tools/blender_obj_view.py" -- \
      --obj "$obj" --expect-uv --expect-normals 2>&1 | grep '^blender-obj'
  done
else
  echo "blender not installed: its import not checked"
fi
