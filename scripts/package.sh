#!/usr/bin/env bash
# Builds the release preset and makes the Debian package of the program.
# Usage: scripts/package.sh [output folder]   (build/release/packages by default)
# Prints the path of the .deb on its last line. Needs dpkg-dev (dpkg-shlibdeps).
set -euo pipefail
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-build/release/packages}")
cmake --preset release
cmake --build --preset release
mkdir -p "$output"
cpack -G DEB -B "$output" --config build/release/CPackConfig.cmake >&2
rm -rf "$output/_CPack_Packages"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/release/CPackConfig.cmake)
deb=$(find "$output" -maxdepth 1 -name "quillbox_${version}_*.deb" -print -quit)
[ -n "$deb" ] || { echo "package.sh: cpack made no quillbox_${version}_*.deb in $output" >&2; exit 1; }
echo "$deb"
