# Starts a throwaway MariaDB server for the tests; source it.
# Runs as root: the server itself runs as the user mysql, with a private data
# directory and socket under a temporary directory, listening on
# 127.0.0.1:$MY_PORT. No file under /etc is read or changed (--no-defaults),
# and the system's own MariaDB service is left alone.
# Exports KALVYNEX_TEST_MY=host:port:user:password for a user that holds every
# privilege on the databases named kvx_... and on no other database, so that
# each test can create a fresh database of its own, and KALVYNEX_TEST_MY_ADMIN,
# the socket through which root logs in.
# stop_mariadb_server stops the server and removes everything.

MY_PORT=${MY_PORT:-33306}
# Further server options, e.g. "--lower-case-table-names=1 --skip-networking".
MY_SERVER_OPTIONS=${MY_SERVER_OPTIONS:-}

start_mariadb_server() {
  MY_DIR=$(mktemp -d /tmp/kalvynex-my.XXXXXX)
  # The server writes its socket, log and data here as the user mysql.
  chmod 755 "$MY_DIR"
  chown mysql:mysql "$MY_DIR"
  local socket="$MY_DIR/mysqld.sock"
  (
    cd /  # the server's user may not be able to read the current directory
    mariadb-install-db --no-defaults --user=mysql --datadir="$MY_DIR/data" \
      --auth-root-authentication-method=socket --skip-test-db $MY_SERVER_OPTIONS \
      >"$MY_DIR/install.log" 2>&1 \
      || { cat "$MY_DIR/install.log" >&2; exit 1; }
    /usr/sbin/mariadbd --no-defaults --user=mysql --datadir="$MY_DIR/data" \
      --socket="$socket" --pid-file="$MY_DIR/mysqld.pid" --port="$MY_PORT" \
      --bind-address=127.0.0.1 --log-error="$MY_DIR/error.log" \
      --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
      --max-allowed-packet=256M $MY_SERVER_OPTIONS \
      </dev/null >/dev/null 2>&1 &
    echo $! >"$MY_DIR/server.pid"
  ) || return 1
  MY_SERVER_PID=$(cat "$MY_DIR/server.pid")

  local tries=0
  until mariadb-admin --no-defaults --socket="$socket" -uroot ping >/dev/null 2>&1; do
    if ! kill -0 "$MY_SERVER_PID" 2>/dev/null || [ "$tries" -ge 300 ]; then
      echo "MariaDB server did not start:" >&2
      tail -20 "$MY_DIR/error.log" >&2
      return 1
    fi
    tries=$((tries + 1))
    sleep 0.2
  done

  # The backslash keeps "_" from matching any character: only kvx_... names.
  mariadb --no-defaults --socket="$socket" -uroot <<'SQL'
CREATE USER 'calib'@'%' IDENTIFIED BY 'calibpw';
GRANT ALL ON `kvx\_%`.* TO 'calib'@'%';
SQL
  export KALVYNEX_TEST_MY="127.0.0.1:$MY_PORT:calib:calibpw"
  # root may log in through the server's socket (as root of this machine).
  export KALVYNEX_TEST_MY_ADMIN="$socket"
}

stop_mariadb_server() {
  [ -n "${MY_DIR:-}" ] || return 0
  mariadb-admin --no-defaults --socket="$MY_DIR/mysqld.sock" -uroot shutdown >/dev/null 2>&1 \
    || kill "${MY_SERVER_PID:-0}" 2>/dev/null || true
  # shutdown returns before the process is gone; wait for it so that the
  # data directory can be removed.
  local tries=0
  while [ -n "${MY_SERVER_PID:-}" ] && kill -0 "$MY_SERVER_PID" 2>/dev/null && [ "$tries" -lt 100 ]; do
    tries=$((tries + 1))
    sleep 0.1
  done
  rm -rf "$MY_DIR"
  MY_DIR=
  MY_SERVER_PID=
}
