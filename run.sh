#!/usr/bin/env bash
# Sets everything up and runs the product: velmora-server on its SQLite database with demo data
# (unless a server already listens on the port), then the desktop client velmora.
# Usage: ./run.sh [--port N] [--db PATH]
#   --port N   the server's TCP port (default 211, the port the client reaches without ":port";
#              it is privileged, so as a normal user pick one above 1023, e.g. --port 2110)
#   --db PATH  the server's database file (default ./velmora.db, created with demo data)
# VELMORA_BUILD_DIR names another build directory than build/.
set -euo pipefail
cd "$(dirname "$0")"

port=211
db="$PWD/velmora.db"
while [ $# -gt 0 ]; do
    case "$1" in
        --port) port="$2"; shift 2 ;;
        --db) db="$2"; shift 2 ;;
        *) echo "usage: ./run.sh [--port N] [--db PATH]" >&2; exit 2 ;;
    esac
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "There is no display to show the client on. Run it on a virtual X server:" >&2
    echo "    xvfb-run -a -s '-screen 0 1280x900x24' ./run.sh $*" >&2
    echo "(look at it with: DISPLAY=:99 import -window root shot.png, when started with -n 99)" >&2
    exit 2
fi

scripts/install-deps.sh run
build="${VELMORA_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target velmora-server velmora

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

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
    "$build/server/velmora-server" --port "$port" --db "$db" --init-demo >"$out" &
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

address="127.0.0.1"
[ "$port" != 211 ] && address="127.0.0.1:$port"
echo
echo "Starting the client. In the login dialog type the server address $address, press 确定,"
echo "choose a user and type the password (demo users: 管理员/vantu, 王会计/1234, 李出纳/5678)."
"$build/app/velmora"
