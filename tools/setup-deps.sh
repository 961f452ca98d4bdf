#!/usr/bin/env bash
# Installs what building and testing Morvale needs on Debian, only when missing.
# Usage: tools/setup-deps.sh [native|all]
#   native: the Linux build (compiler, CMake, GoogleTest)
#   all:    also the Windows cross compiler, Wine, Xvfb and the tools of the window tests
set -euo pipefail

want=(g++ cmake make libgtest-dev clang libclang-rt-14-dev)
if [ "${1:-all}" = all ]; then
  # The -posix compiler package only: the meta packages drag in the win32
  # thread model, which cannot run std::thread.
  want+=(g++-mingw-w64-x86-64-posix wine64 wine xvfb fonts-wine xdotool imagemagick x11-utils)
  # Real readers of the OBJ's texture coordinates, normals and material.
  want+=(assimp-utils blender)
fi

missing=()
for pkg in "${want[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
