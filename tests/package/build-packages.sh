#!/usr/bin/env bash
# Builds the two Debian packages from the programs already built in BUILD_DIR, into OUT_DIR.
# Usage: build-packages.sh CPACK BUILD_DIR OUT_DIR
set -euo pipefail
cpack=$1 build=$2 out=$3

rm -rf "$out"
mkdir -p "$out"
cd "$build"
"$cpack" -G DEB -B "$out" --config "$build/CPackConfig.cmake"
rm -rf "$out/_CPack_Packages"
ls -l "$out"/*.deb
