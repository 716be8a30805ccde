#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests and the benchmark: made in FOLDER by Debian's
# initdb, run by pg_ctl as an unprivileged user (nobody when started as root), reachable only on a
# Unix socket in FOLDER. "stop" stops it and removes FOLDER. The database "postgres" and the
# superuser "kestrel" answer without a password (trust; nothing else can reach the socket's
# folder address from outside this machine).
# usage: pg-cluster.sh start|stop FOLDER
set -eu
what=$1 dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/pg_ctl" ] || { echo "postgresql is missing (scripts/packages.txt)"; exit 1; }
as() {
    if [ "$(id -u)" = 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}
case $what in
start)
    # A cluster left by a run that was killed goes first.
    [ -d "$dir/data" ] && as "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    mkdir -p "$dir"
    [ "$(id -u)" = 0 ] && chown nobody "$dir"
    as "$bin/initdb" -D "$dir/data" -U kestrel --auth=trust -E UTF8 --no-sync >"$dir/initdb.log" 2>&1 \
        || { cat "$dir/initdb.log"; exit 1; }
    as "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c max_connections=300" \
        start >/dev/null || { cat "$dir/server.log"; exit 1; }
    echo "postgresql:///postgres?host=$dir&user=kestrel"
    ;;
restart)
    as "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 -m fast restart >/dev/null
    ;;
stop)
    [ -d "$dir/data" ] && as "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
*)
    echo "usage: pg-cluster.sh start|restart|stop FOLDER" >&2
    exit 2
    ;;
esac
