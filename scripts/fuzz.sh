#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs each for the given
# time. Usage: scripts/fuzz.sh SECONDS [TARGET...]   (targets: wire packet statement; default all)
# New inputs that add coverage are merged into fuzz/corpus/TARGET; a crash leaves its input in
# build-fuzz/findings/TARGET (copy it to fuzz/regressions/TARGET once it is mended). The last line
# per target gives its executions.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(wire packet statement)

# clang and its libFuzzer runtime are needed here only; the ordinary build stays with gcc.
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-*.a >/dev/null 2>&1; then
    apt-get install -y clang libclang-rt-dev
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVELMORA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}"

for t in "${targets[@]}"; do
    work=build-fuzz/work/$t
    findings=build-fuzz/findings/$t
    mkdir -p "$work" "$findings"
    cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
    log=build-fuzz/fuzz-$t.log
    # A finding stops the run; its input is kept under findings/.
    set +e
    build-fuzz/fuzz/fuzz_"$t" "$work" fuzz/regressions/"$t" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1
    rc=$?
    set -e
    build-fuzz/fuzz/fuzz_"$t" -merge=1 fuzz/corpus/"$t" "$work" >/dev/null 2>&1 || true
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    echo "$t: ${runs:-0} executions in $seconds s, exit $rc, findings: $(ls "$findings" | wc -l)"
done
