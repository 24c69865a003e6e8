#!/usr/bin/env bash
# Sets everything up and runs the product: velmora-server on its SQLite database with demo data.
# Usage: ./run.sh [--port N] [--db PATH]
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

scripts/install-deps.sh run
cmake -S . -B build -G Ninja
cmake --build build --target velmora-server

echo
echo "Starting velmora-server on port $port with the database $db (demo data on first use)."
echo "The desktop client is not built yet; clients connect to this server on port $port."
echo "Stop the server with Ctrl+C."
exec build/server/velmora-server --port "$port" --db "$db" --init-demo
