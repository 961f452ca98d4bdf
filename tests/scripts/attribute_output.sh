#!/usr/bin/env bash
# The converter's texture coordinates and normals on a small sloped grid with
# a hole: every normal points to the side its faces face (all presets, and a
# mirroring negative scale), adjacent crops give their shared corners the same
# "vt" and "vn" lines, and a material file that cannot be written fails the run.
# Usage: attribute_output.sh CONVERTER
set -euo pipefail
convert=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Slopes that change along both axes, a hole inside and one on the outline.
{
  printf 'ncols 7\nnrows 6\nxllcorner 100\nyllcorner 200\ncellsize 2\nNODATA_value -9999\n'
  printf '1 2 4 7 11 16 22\n2 3 5 8 -9999 17 23\n4 5 3 2 1 0 -1\n9 7 5 3 1 -1 -3\n'
  printf '3 3 3 3 3 3 3\n-9999 1 2 3 5 8 13\n'
} >slope.asc

# Every corner's "vn" against the face's own normal (cross product of its
# first two edges): along the elevation axis (1 to 3: the slot of the
# elevation in the preset's vertex line) both point the same way.
check_facing() {
  tr -d '\r' <"$1" | awk -v name="$2" -v up="$3" '
    $1 == "v"  { nv++; x[nv] = $2; y[nv] = $3; z[nv] = $4 }
    $1 == "vn" { nn++; nx[nn] = $2; ny[nn] = $3; nz[nn] = $4 }
    $1 == "f" {
      for (k = 2; k <= NF; k++) { split($k, r, "/"); v[k - 1] = r[1]; n[k - 1] = r[3] }
      ax = x[v[2]] - x[v[1]]; ay = y[v[2]] - y[v[1]]; az = z[v[2]] - z[v[1]]
      bx = x[v[3]] - x[v[1]]; by = y[v[3]] - y[v[1]]; bz = z[v[3]] - z[v[1]]
      f[1] = ay * bz - az * by; f[2] = az * bx - ax * bz; f[3] = ax * by - ay * bx
      for (k = 1; k < NF; k++) {
        m[1] = nx[n[k]]; m[2] = ny[n[k]]; m[3] = nz[n[k]]
        if (f[up] * m[up] <= 0) { bad++; break }
      }
      faces++
    }
    END {
      if (faces == 0 || bad > 0) { printf "%s: %d of %d faces against their normals\n", name, bad, faces; exit 1 }
    }' || fail "normals of $2 do not face the faces' side"
}

for preset in 3ds-max:3 blender:2 cinema-4d:2 maya:2 unreal:3 zbrush:2; do
  for mode in interpolated floating-planes; do
    "$convert" -q --normals --preset "${preset%:*}" --mode "$mode" slope.asc -o "$mode.obj"
    check_facing "$mode.obj" "$preset $mode" "${preset#*:}"
  done
done
"$convert" -q --normals --scale -1 slope.asc -o mirrored.obj
check_facing mirrored.obj "negative scale" 3

# Adjacent crops share corner column 4 (u = 3/7) and corner line 4 (v = 3/6).
shared_lines() {
  tr -d '\r' <"$1" | awk -v axis="$2" -v at="$3" '
    $1 == "vt" { keep = ($(axis + 1) == at); if (keep) t = $0 }
    $1 == "vn" && keep { print t " | " $0 }' | sort
}
"$convert" -q --uv --normals --crop 1,1,3,6 slope.asc -o west.obj
"$convert" -q --uv --normals --crop 4,1,7,6 slope.asc -o east.obj
shared_lines west.obj 1 0.428571 >west.txt
shared_lines east.obj 1 0.428571 >east.txt
[ -s west.txt ] && cmp -s west.txt east.txt || fail "west and east crops differ on their shared corners"
"$convert" -q --uv --normals --crop 1,1,7,3 slope.asc -o north.obj
"$convert" -q --uv --normals --crop 1,4,7,6 slope.asc -o south.obj
shared_lines north.obj 2 0.500000 >north.txt
shared_lines south.obj 2 0.500000 >south.txt
[ -s north.txt ] && cmp -s north.txt south.txt || fail "north and south crops differ on their shared corners"

# Vertices are written while the grid is read (with normals one row late),
# or after it with centred elevations: the same coordinates and normals.
"$convert" -q --uv slope.asc -o uv.obj
"$convert" -q --uv --normals slope.asc -o both.obj
cmp -s <(grep -a '^vt\? ' uv.obj) <(grep -a '^vt\? ' both.obj) || fail "--uv alone and with --normals differ"
"$convert" -q --uv --normals --center-z slope.asc -o centred.obj
cmp -s <(grep -a '^v[tn] ' both.obj) <(grep -a '^v[tn] ' centred.obj) || fail "normals differ when read twice"

# Simplified meshes: every kept vertex carries the full mesh's "vt" and "vn"
# for the same corner. 300 x 280 cells with a round hole cross several bands
# of the simplifier, whose vertices leave a band at a time.
awk 'BEGIN {
  printf "ncols 300\nnrows 280\nxllcorner 0\nyllcorner 0\ncellsize 2\nNODATA_value -9999\n"
  for (r = 0; r < 280; r++) {
    for (c = 0; c < 300; c++) {
      z = ((r - 140) ^ 2 + (c - 150) ^ 2 < 100) ? -9999 : sprintf("%.2f", 20 * sin(r / 17) * cos(c / 23) + r * 0.1 + 1)
      printf "%s%s", z, (c < 299 ? " " : "\n")
    }
  }
}' >waves.asc
# "v | vt | vn" of each vertex (planes: their one shared "vn" is checked apart).
attributes_of() { tr -d '\r' <"$1" | awk '$1 == "v" { v = $0 } $1 == "vt" { t = $0; if (!n) print v " | " t } $1 == "vn" && n { print v " | " t " | " $0 }' n="$2" | sort -u; }
for crop in "" "--crop 5,3,290,270 --uv-extent window"; do
  "$convert" -q --uv --normals $crop waves.asc -o full.obj
  attributes_of full.obj 1 >full.txt
  for simplify in "--max-error 0.3" "--max-triangles 3000"; do
    "$convert" -q --uv --normals $simplify $crop waves.asc -o simplified.obj
    attributes_of simplified.obj 1 >simplified.txt
    [ "$(wc -l <simplified.txt)" -gt 100 ] && [ -z "$(comm -13 full.txt simplified.txt)" ] ||
      fail "$simplify $crop: simplified vertices lack the full mesh's attributes"
    grep -q '^f [0-9]*/[0-9]*/[0-9]* [0-9]*/[0-9]*/[0-9]* [0-9]*/[0-9]*/[0-9]*.$' simplified.obj ||
      fail "$simplify: triangles do not name their attributes"
  done
  check_facing simplified.obj "simplified $crop" 3
  "$convert" -q --uv --normals --mode floating-planes $crop waves.asc -o planes.obj
  "$convert" -q --uv --normals --mode floating-planes --max-error 0.5 $crop waves.asc -o merged.obj
  attributes_of planes.obj 0 | sed 's/ [^ ]* |/ |/' | sort -u >planes.txt
  attributes_of merged.obj 0 | sed 's/ [^ ]* |/ |/' | sort -u >merged.txt
  [ -z "$(comm -13 planes.txt merged.txt)" ] || fail "merged planes $crop: corners lack their texture coordinates"
  [ "$(grep -c '^vn' merged.obj)" = 1 ] || fail "merged planes $crop: not one shared normal"
  check_facing merged.obj "merged planes $crop" 3
done

# A material file that cannot be created fails the run like the OBJ would.
mkdir blocked.mtl
if "$convert" -q --texture slope.png slope.asc -o blocked.obj 2>error.txt; then
  fail "a material file that cannot be written went unreported"
fi
grep -q "create" error.txt || fail "unexpected message: $(cat error.txt)"
echo "attribute output: facing, shared crop corners and material errors checked"
