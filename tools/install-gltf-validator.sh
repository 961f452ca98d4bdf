#!/usr/bin/env bash
# Installs the Khronos glTF validator (npm package gltf-validator) under
# build/npm of the repository for the mesh reader checks; quick when present.
set -euo pipefail
cd "$(dirname "$0")/.."
version=2.0.0-dev.3.10
if [ -f build/npm/node_modules/gltf-validator/package.json ] &&
   grep -q "\"version\": \"$version\"" build/npm/node_modules/gltf-validator/package.json; then
  exit 0
fi
command -v npm >/dev/null || { echo "npm is missing: run tools/setup-deps.sh" >&2; exit 1; }
mkdir -p build/npm
cd build/npm
[ -f package.json ] || echo '{"private": true}' > package.json
npm install --no-audit --no-fund --silent "gltf-validator@$version"
