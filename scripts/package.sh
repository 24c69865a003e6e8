#!/usr/bin/env bash
# Builds the two Debian packages, velmora-server and velmora, from this source tree: a release
# build of the programs in a build folder of its own (build-package/), then cpack. The packages
# land in out/ unless another folder is given.
# Usage: scripts/package.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-out}" && cd "${1:-out}" && pwd)
build="build-package"

scripts/install-deps.sh package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF
cmake --build "$build"
(cd "$build" && cpack -G DEB -B "$out/cpack")
mv -f "$out"/cpack/*.deb "$out"/
rm -rf "$out/cpack"
echo "Packages:"
ls -1 "$out"/velmora-server_*.deb "$out"/velmora_*.deb
