#!/usr/bin/env bash
# Builds the two Debian packages, velmora-server and velmora, from this source tree: a release
# build of the programs in a build folder of its own (build-package/), then cpack. The packages
# land in out/ unless another folder is given. --version builds another version than the
# project's (the programs say it too), e.g. 1.002 to try an upgrade of an installed 1.001.
# Usage: scripts/package.sh [--version VERSION] [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
version=
if [ "${1:-}" = --version ]; then
    version=${2:?--version needs a version such as 1.002}
    case "$version" in
        [0-9]*) ;;
        *) echo "package.sh: a version starts with a digit, not '$version'" >&2; exit 2 ;;
    esac
    shift 2
fi
out=$(mkdir -p "${1:-out}" && cd "${1:-out}" && pwd)
build="build-package"

scripts/install-deps.sh package
# The version is always given, so that a build folder used once with --version forgets it.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF \
    -DVELMORA_VERSION="$version"
cmake --build "$build"
(cd "$build" && cpack -G DEB -B "$out/cpack")
mv -f "$out"/cpack/*.deb "$out"/
rm -rf "$out/cpack"
echo "Packages:"
ls -1 "$out"/velmora-server_*.deb "$out"/velmora_*.deb
