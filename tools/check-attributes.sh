#!/usr/bin/env bash
# Loads an OBJ with assimp and checks that every vertex carries texture
# coordinates and normals, as a real reader sees them.
# Usage: tools/check-attributes.sh FILE.obj [uv|normals|both]
#   uv, normals: check only that attribute (default: both)
# Prints one summary line; exits 1 when an attribute is missing, 2 when
# assimp cannot load the file or is not installed.
set -euo pipefail

obj=${1:?usage: check-attributes.sh FILE.obj [uv|normals|both]}
want=${2:-both}
command -v assimp >/dev/null || { echo "assimp not installed (tools/setup-deps.sh all)" >&2; exit 2; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The raw import (no post-processing that could invent normals) as assimp sees the file.
if ! assimp info "$obj" -r >"$scratch/info.txt" 2>&1; then
  echo "assimp cannot load $obj" >&2
  cat "$scratch/info.txt" >&2
  exit 2
fi
vertices=$(awk '/^Vertices:/ { print $2; exit }' "$scratch/info.txt")
# The dump lists, per mesh, how many positions, normals and texture coordinates it holds.
assimp dump "$obj" "$scratch/dump.xml" >/dev/null 2>&1 || { echo "assimp cannot dump $obj" >&2; exit 2; }
read -r meshes positions normals uvs < <(awk '
  /<Mesh /                        { meshes++ }
  match($0, /<Positions num="[0-9]+"/)     { positions += substr($0, RSTART + 16, RLENGTH - 17) }
  match($0, /<Normals num="[0-9]+"/)       { normals += substr($0, RSTART + 14, RLENGTH - 15) }
  match($0, /<TextureCoords num="[0-9]+"/) { uvs += substr($0, RSTART + 20, RLENGTH - 21) }
  END { print meshes + 0, positions + 0, normals + 0, uvs + 0 }' "$scratch/dump.xml")

status=0
if [ "${vertices:-0}" -eq 0 ] || [ "$positions" -ne "$vertices" ]; then
  echo "FAIL $obj: assimp info reports ${vertices:-no} vertices, the meshes hold $positions" >&2
  status=1
fi
if [ "$want" != normals ] && [ "$uvs" -ne "$positions" ]; then
  echo "FAIL $obj: $uvs of $positions vertices have texture coordinates" >&2
  status=1
fi
if [ "$want" != uv ] && [ "$normals" -ne "$positions" ]; then
  echo "FAIL $obj: $normals of $positions vertices have normals" >&2
  status=1
fi
[ $status -eq 0 ] && echo "OK $obj: $meshes mesh(es), $positions vertices, texture coordinates $uvs, normals $normals"
exit $status
