#!/usr/bin/env bash
# Sets everything up and runs every test. Usage: ./test.sh [--sanitize | --tsan]
#   --sanitize  build with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ (-O1 with
#               line tables: stack traces keep file and line, the tests run at a bearable speed)
#   --tsan      build the core, the server and their tests with ThreadSanitizer into build-tsan/ and
#               run the unit and full-stack tests on SQLite; every process's report lands in
#               build-tsan/tsan-reports/, and any report there fails the run
set -euo pipefail
cd "$(dirname "$0")"

dir=build
flags=()
ctest_args=()
tsan=
case "${1:-}" in
    --sanitize)
        # The packages are built and installed from the normal build only.
        ctest_args+=(-LE package)
        dir=build-asan
        flags+=(-DVELMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DVELMORA_BUILD_BENCH=OFF)
        ;;
    --tsan)
        # The threads are the same on PostgreSQL; the packages come from the normal build.
        ctest_args+=(-LE 'package|postgres')
        dir=build-tsan
        tsan=1
        flags+=(-DVELMORA_TSAN=ON -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DVELMORA_BUILD_BENCH=OFF)
        ;;
    "") ;;
    *)
        echo "usage: $0 [--sanitize | --tsan]" >&2
        exit 2
        ;;
esac
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
if [ -n "$tsan" ]; then
    # Each process, the servers the tests start included, writes its reports to a file of its own
    # there; a server's stderr goes to a log the test throws away.
    reports=$PWD/$dir/tsan-reports
    rm -rf "$reports"
    mkdir -p "$reports"
    export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp:log_path=$reports/report}
fi
status=0
ctest --test-dir "$dir" --output-on-failure --timeout 600 -j2 "${ctest_args[@]}" || status=$?
if [ -n "$tsan" ] && compgen -G "$reports/report*" >/dev/null; then
    echo "ThreadSanitizer reports:" >&2
    cat "$reports"/report* >&2
    status=1
fi
exit "$status"
