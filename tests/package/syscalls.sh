#!/usr/bin/env bash
# Lists the system calls a service's filter lets through, and runs a server under strace.
# syscalls.sh allowed UNIT_FILE           the names its SystemCallFilter= lines allow, one a line
# syscalls.sh trace SERVER OUT_DIR ARGS... (as VELMORA_TEST_SERVER) SERVER ARGS under strace -f,
#                                         its counts in OUT_DIR/calls.PID; SIGTERM reaches the server
set -uo pipefail

# The calls of a set such as @system-service, its nested sets expanded.
expand() {
    systemd-analyze syscall-filter "$1" | tail -n +2 | sed 's/#.*//' | tr -s ' \t' '\n' | grep -v '^$' |
        while read -r name; do
            case "$name" in
                @*) expand "$name" ;;
                *) echo "$name" ;;
            esac
        done
}

case "${1:-}" in
allowed)
    unit=$2
    allowed=$(mktemp) denied=$(mktemp)
    trap 'rm -f "$allowed" "$denied"' EXIT
    sed -n 's/^SystemCallFilter=//p' "$unit" | while read -r line; do
        case "$line" in
            '~'*) for set in ${line#\~}; do expand "$set"; done >>"$denied" ;;
            *) for set in $line; do expand "$set"; done >>"$allowed" ;;
        esac
    done
    sort -u "$allowed" | comm -23 - <(sort -u "$denied")
    ;;
trace)
    server=$2 out=$3
    shift 3
    strace -f -qq -c -o "$out/calls.$$" "$server" "$@" &
    tracer=$!
    # Stopping the tracer would leave the server running untraced: the signal goes to the server.
    trap 'kill -TERM $(pgrep -P "$tracer") 2>/dev/null' TERM INT
    wait "$tracer"
    status=$?
    # A trapped signal ends the first wait early; the second waits for the server's end.
    [ "$status" -gt 128 ] && { wait "$tracer"; status=$?; }
    exit "$status"
    ;;
*)
    echo "usage: syscalls.sh allowed UNIT | trace SERVER OUT_DIR ARGS..." >&2
    exit 2
    ;;
esac
