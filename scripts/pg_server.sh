#!/usr/bin/env bash
# Starts or stops a throw-away PostgreSQL server on loopback for the tests and
# benchmarks.
#   scripts/pg_server.sh start DIR   -> prints export lines (QJ_PG_*) for the caller to eval
#   scripts/pg_server.sh stop DIR
set -euo pipefail

cmd=${1:?start or stop}
dir=${2:?directory}
bindir=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }

case "$cmd" in
  start)
    mkdir -p "$dir"
    # The server runs as the postgres user, which may not reach the caller's
    # directory. Its data, socket and log then go into a directory of its own
    # under /tmp; DIR keeps the name of that directory for the stop.
    server=$dir
    if [ "$(id -u)" -eq 0 ]; then
      server=$(mktemp -d /tmp/qjsqlexe-pgserver.XXXXXX)
      chown postgres:postgres "$server"
    fi
    echo "$server" > "$dir/server-dir"
    port=${QJ_PG_PORT:-$("$(dirname "$0")/free_port.sh")}
    password=qjtest-pw
    as_pg "$bindir/initdb" -D "$server/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
    # Password logins on TCP, so that the ODBC driver sends the user and password it was given.
    cat > "$server/data/pg_hba.conf" <<HBA
local all all trust
host all postgres 127.0.0.1/32 trust
host all all 127.0.0.1/32 scram-sha-256
HBA
    if [ "$(id -u)" -eq 0 ]; then chown postgres:postgres "$server/data/pg_hba.conf"; fi
    as_pg "$bindir/pg_ctl" -D "$server/data" -l "$server/server.log" -w \
      -o "-p $port -k $server -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off" start >/dev/null
    as_pg "$bindir/psql" -X -q -h "$server" -p "$port" -U postgres -d postgres \
      -c "CREATE ROLE qjtest LOGIN PASSWORD '$password'" \
      -c "CREATE DATABASE qjtest OWNER qjtest ENCODING 'UTF8' TEMPLATE template0" >/dev/null
    echo "export QJ_PG_HOST=127.0.0.1 QJ_PG_PORT=$port QJ_PG_USER=qjtest QJ_PG_PASSWORD=$password QJ_PG_DB=qjtest QJ_PG_SOCKET_DIR=$server"
    ;;
  stop)
    server=$dir
    if [ -f "$dir/server-dir" ]; then server=$(cat "$dir/server-dir"); fi
    if [ -f "$server/data/postmaster.pid" ]; then
      as_pg "$bindir/pg_ctl" -D "$server/data" -m fast -w stop >/dev/null || true
    fi
    rm -rf "$server" "$dir"
    ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
