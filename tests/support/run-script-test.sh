#!/usr/bin/env bash
# ./run.sh as a newcomer meets it: without a display it tells how to run it on a virtual one with
# the options typed, and its demo server (published passwords) listens on this computer only
# unless --listen says otherwise.
set -uo pipefail
cd "$(dirname "$0")/../.."
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

hint=$(env -u DISPLAY -u WAYLAND_DISPLAY ./run.sh --port 2110 --db "/tmp/a b.db" 2>&1 >/dev/null)
status=$?
[ "$status" -eq 2 ] || fail "without a display run.sh ended with $status, not 2"
grep -qF -- "xvfb-run -a -s '-screen 0 1280x900x24' ./run.sh --port 2110 --db /tmp/a\\ b.db" <<<"$hint" ||
    fail "the xvfb-run line drops or garbles the options typed: $hint"
# A display number for the screenshot only where the line names that number.
while read -r line; do
    case "$line" in
        DISPLAY=:*) number=${line#DISPLAY=:}; number=${number%% *}
            grep -q -- "xvfb-run -n $number " <<<"$hint" || fail "DISPLAY=:$number goes with no xvfb-run -n $number" ;;
    esac
done <<<"$hint"

server=$(./run.sh --dry-run --port 2110 | head -n1)
grep -q -- "--listen 127.0.0.1 " <<<"$server" || fail "the demo server does not listen on 127.0.0.1 alone: $server"
server=$(./run.sh --dry-run --listen 0.0.0.0 | head -n1)
grep -q -- "--listen 0.0.0.0 " <<<"$server" || fail "--listen is not passed on: $server"
./run.sh --port >/dev/null 2>&1 && fail "an option without its value is taken"

[ "$failed" -eq 0 ] && echo "run.sh: ok"
exit "$failed"
