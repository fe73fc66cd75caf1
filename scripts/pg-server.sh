# Starts a throwaway PostgreSQL 15 server for the tests; source it.
# Runs as root: the server itself runs as the user postgres, in a private
# cluster under a temporary directory, on 127.0.0.1:$PG_PORT. No file under
# /etc is changed. Exports KALVYNEX_TEST_PG=host:port:user:password for a
# role that may create databases. stop_pg_server removes everything.

PG_BIN=/usr/lib/postgresql/15/bin
PG_PORT=${PG_PORT:-55432}

start_pg_server() {
  PG_DIR=$(mktemp -d /tmp/kalvynex-pg.XXXXXX)
  chmod 755 "$PG_DIR"
  chown postgres:postgres "$PG_DIR"
  (
    cd /  # the server's user may not be able to read the current directory
    runuser -u postgres -- "$PG_BIN/initdb" -D "$PG_DIR/data" -U postgres -E UTF8 \
      --locale=C.UTF-8 --auth-local=trust --auth-host=scram-sha-256 >/dev/null
    runuser -u postgres -- "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w -t 60 \
      -o "-p $PG_PORT -k $PG_DIR -c listen_addresses=127.0.0.1" start >/dev/null
    runuser -u postgres -- psql -X -q -v ON_ERROR_STOP=1 -h "$PG_DIR" -p "$PG_PORT" -U postgres \
      -c "CREATE ROLE calib LOGIN CREATEDB PASSWORD 'calibpw'" >/dev/null
  )
  export KALVYNEX_TEST_PG="127.0.0.1:$PG_PORT:calib:calibpw"
  export KALVYNEX_TEST_PG_ADMIN="$PG_DIR:$PG_PORT:postgres"
}

stop_pg_server() {
  [ -n "${PG_DIR:-}" ] || return 0
  (cd / && runuser -u postgres -- "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m fast -w stop >/dev/null 2>&1) || true
  rm -rf "$PG_DIR"
  PG_DIR=
}
