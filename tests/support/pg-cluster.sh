#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests: pg-cluster.sh start DIR | stop DIR
# start: initdb into DIR/data, run it on a Unix socket in DIR (no TCP), superuser "velmora",
#        trust authentication, C locale; DIR/uri holds the URI of its "postgres" database.
# stop:  stops the cluster and removes DIR.
# PostgreSQL refuses to run as root, so as root the cluster runs as the user postgres (created by
# the package) or, failing that, as nobody.
set -euo pipefail
cmd=${1:?start or stop}
dir=${2:?directory}
port=54329

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "pg-cluster: PostgreSQL is not installed (scripts/install-deps.sh test installs it)" >&2
    exit 1
fi

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        local user=postgres
        id "$user" >/dev/null 2>&1 || user=nobody
        runuser -u "$user" -- "$@"
    else
        "$@"
    fi
}

case "$cmd" in
start)
    if [ -f "$dir/uri" ] && as_owner "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
        exit 0  # still running from an earlier start
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then
        user=postgres
        id "$user" >/dev/null 2>&1 || user=nobody
        chown "$user" "$dir"
    fi
    chmod 755 "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U velmora --auth=trust --locale=C -E UTF8 >"$dir/initdb.log" 2>&1 || {
        echo "pg-cluster: initdb failed:" >&2
        cat "$dir/initdb.log" >&2
        exit 1
    }
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-p $port -k $dir -c listen_addresses='' -c fsync=off -c max_connections=300" start >/dev/null || {
        echo "pg-cluster: the server did not start:" >&2
        cat "$dir/server.log" >&2
        exit 1
    }
    echo "postgresql:///postgres?host=$dir&port=$port&user=velmora" >"$dir/uri"
    ;;
stop)
    if [ -d "$dir/data" ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
*)
    echo "usage: pg-cluster.sh start|stop DIR" >&2
    exit 2
    ;;
esac
