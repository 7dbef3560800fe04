#!/usr/bin/env bash
# Starts or stops a throw-away MariaDB server on loopback for the tests.
#   scripts/mariadb_server.sh start DIR   -> prints export lines (QJ_MARIA_*) for the caller to eval
#   scripts/mariadb_server.sh stop DIR
set -euo pipefail

cmd=${1:?start or stop}
dir=${2:?directory}
user=$(id -un)

case "$cmd" in
  start)
    mkdir -p "$dir"
    port=${QJ_MARIA_PORT:-$("$(dirname "$0")/free_port.sh")}
    # Debian keeps the server in /usr/sbin, which a user's PATH may leave out.
    mariadbd=$(command -v mariadbd || echo /usr/sbin/mariadbd)
    password=qjtest-pw
    mariadb-install-db --no-defaults --user="$user" --datadir="$dir/data" --auth-root-authentication-method=socket \
      --skip-test-db >"$dir/install.log" 2>&1
    "$mariadbd" --no-defaults --user="$user" --datadir="$dir/data" --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" \
      --port="$port" --bind-address=127.0.0.1 --skip-name-resolve --innodb-buffer-pool-size=32M \
      --character-set-server=utf8mb4 --collation-server=utf8mb4_bin --log-error="$dir/server.log" </dev/null >/dev/null 2>&1 &
    up=0
    for _ in $(seq 1 150); do
      if mariadb-admin --no-defaults --socket="$dir/mysqld.sock" -u root ping >/dev/null 2>&1; then up=1; break; fi
      sleep 0.2
    done
    if [ "$up" != 1 ]; then
      echo "MariaDB did not start on port $port; its log:" >&2
      cat "$dir/install.log" "$dir/server.log" >&2 2>/dev/null || true
      exit 1
    fi
    # A user with a password, so that the ODBC driver logs in with what it was
    # given; it may make users of its own for the login tests.
    mariadb --no-defaults --socket="$dir/mysqld.sock" -u root -e \
      "CREATE DATABASE qjtest CHARACTER SET utf8mb4; CREATE USER 'qjtest'@'127.0.0.1' IDENTIFIED BY '$password';
       GRANT ALL ON qjtest.* TO 'qjtest'@'127.0.0.1' WITH GRANT OPTION; GRANT CREATE USER ON *.* TO 'qjtest'@'127.0.0.1';"
    echo "export QJ_MARIA_HOST=127.0.0.1 QJ_MARIA_PORT=$port QJ_MARIA_USER=qjtest QJ_MARIA_PASSWORD=$password QJ_MARIA_DB=qjtest QJ_MARIA_SOCKET=$dir/mysqld.sock"
    ;;
  stop)
    if [ -S "$dir/mysqld.sock" ]; then
      mariadb-admin --no-defaults --socket="$dir/mysqld.sock" -u root shutdown >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
