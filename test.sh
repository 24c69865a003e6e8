#!/usr/bin/env bash
# Sets everything up and runs every test. Usage: ./test.sh [--sanitize]
#   --sanitize  build with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ (-O1 with
#               line tables: stack traces keep file and line, the tests run at a bearable speed)
set -euo pipefail
cd "$(dirname "$0")"

dir=build
flags=()
ctest_args=()
if [ "${1:-}" = "--sanitize" ]; then
    # The packages are built and installed from the normal build only.
    ctest_args+=(-LE package)
    dir=build-asan
    flags+=(-DVELMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DVELMORA_BUILD_BENCH=OFF)
fi
if [ -n "${CI:-}" ]; then flags+=(-DVELMORA_WERROR=ON); fi

scripts/install-deps.sh test
scripts/check-core-no-qt.sh
scripts/check-layers.sh
cmake -S . -B "$dir" -G Ninja "${flags[@]}"
cmake --build "$dir"
cmake --build "$dir" --target format-check
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$dir" --output-on-failure --timeout 600 -j2 "${ctest_args[@]}"
