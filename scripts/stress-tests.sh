#!/usr/bin/env bash
# Runs the window and full-stack tests again and again while `stress` keeps four processes
# spinning, to show that no test bets on time: every wait is on a state, so a loaded machine only
# makes the tests slower. Usage: scripts/stress-tests.sh [rounds] [build folder]
# Prints one line per round; exits non-zero when any round failed (its log is kept).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-10}
dir=${2:-build}
command -v stress >/dev/null || { echo "stress is not installed (apt-get install stress)" >&2; exit 2; }
logs=$(mktemp -d /tmp/velmora-stress-XXXXXX)
stress -c 4 >/dev/null 2>&1 &
hog=$!
trap 'kill "$hog" 2>/dev/null; wait "$hog" 2>/dev/null || true' EXIT
export QT_QPA_PLATFORM=offscreen
failed=0
for round in $(seq 1 "$rounds"); do
    start=$SECONDS
    if ctest --test-dir "$dir" -L 'gui|fullstack' -LE 'postgres|package' -j2 --timeout 600 \
        >"$logs/round-$round.log" 2>&1; then
        echo "round $round: passed in $((SECONDS - start)) s (load $(cut -d' ' -f1 /proc/loadavg))"
    else
        failed=$((failed + 1))
        echo "round $round: FAILED in $((SECONDS - start)) s; $(grep -c 'Failed\|Timeout' "$logs/round-$round.log") failures, log $logs/round-$round.log"
        grep -E '\(Failed\)|\(Timeout\)|\*\*\*Failed' "$logs/round-$round.log" || true
    fi
done
echo "$((rounds - failed)) of $rounds rounds passed; logs in $logs"
[ "$failed" -eq 0 ]
