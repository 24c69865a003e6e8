#!/usr/bin/env bash
# Sets everything up and runs the product: velmora-server on its SQLite database with demo data
# (unless a server already listens on the port), then the desktop client velmora.
# Usage: ./run.sh [--port N] [--db PATH] [--listen ADDRESS] [--dry-run]
#   --port N          the server's TCP port (default 211, the port the client reaches without ":port";
#                     it is privileged, so as a normal user pick one above 1023, e.g. --port 2110)
#   --db PATH         the server's database file (default ./velmora.db, created with demo data)
#   --listen ADDRESS  where the demo server listens (default 127.0.0.1: this computer only, as its
#                     users' passwords are the published demo ones; 0.0.0.0 opens it to the network)
#   --dry-run         prints the commands it would run, and runs nothing
# VELMORA_BUILD_DIR names another build directory than build/.
set -euo pipefail
cd "$(dirname "$0")"

usage="usage: ./run.sh [--port N] [--db PATH] [--listen ADDRESS] [--dry-run]"
port=211
db="$PWD/velmora.db"
listen=127.0.0.1
dry_run=""
args=("$@")
while [ $# -gt 0 ]; do
    case "$1" in
        --port | --db | --listen)
            [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
            case "$1" in
                --port) port="$2" ;;
                --db) db="$2" ;;
                --listen) listen="$2" ;;
            esac
            shift 2 ;;
        --dry-run) dry_run=1; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done

build="${VELMORA_BUILD_DIR:-build}"
server_command=("$build/server/velmora-server" --port "$port" --listen "$listen" --db "$db" --init-demo)
if [ -n "$dry_run" ]; then
    printf '%q ' "${server_command[@]}"; echo
    printf '%q\n' "$build/app/velmora"
    exit 0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    again=$(printf ' %q' "${args[@]}")
    echo "There is no display to show the client on. Run it on a virtual X server:" >&2
    echo "    xvfb-run -a -s '-screen 0 1280x900x24' ./run.sh${again}" >&2
    echo "To look at it, give the virtual display a number of your choosing instead of -a:" >&2
    echo "    xvfb-run -n 99 -s '-screen 0 1280x900x24' ./run.sh${again}" >&2
    echo "    DISPLAY=:99 import -window root shot.png" >&2
    exit 2
fi

scripts/install-deps.sh run
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target velmora-server velmora

# The address this computer reaches the server at: the one it listens on, or itself for any.
case "$listen" in
    0.0.0.0 | "::" | "") reach=127.0.0.1 ;;
    *) reach="$listen" ;;
esac
listening() { (exec 3<>"/dev/tcp/$reach/$1") 2>/dev/null; }

server_pid=""
stop_server() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
}
trap stop_server EXIT

if listening "$port"; then
    echo "A server already listens on port $port; the client will use it."
else
    out=$(mktemp)
    "${server_command[@]}" >"$out" &
    server_pid=$!
    for _ in $(seq 100); do
        grep -q '^listening on' "$out" && break
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! grep -q '^listening on' "$out"; then
        echo "velmora-server did not start on port $port (see its message above)." >&2
        [ "$port" -lt 1024 ] && echo "Port $port is privileged: run as root, or use ./run.sh --port 2110." >&2
        rm -f "$out"
        exit 1
    fi
    line=$(head -n1 "$out")
    port=${line##*:}
    echo "velmora-server: $line, database $db"
    rm -f "$out"
fi

address="$reach"
[ "$port" != 211 ] && address="$reach:$port"
echo
echo "Starting the client. In the login dialog type the server address $address, press 确定,"
echo "choose a user and type the password (demo users: 管理员/vantu, 王会计/1234, 李出纳/5678)."
"$build/app/velmora"
