# Runs the recipes of docs/databases.md against the throwaway servers of the
# test command, and kalvynex through each data source they define.
#
# A block of the guide takes part when an HTML comment right before it says
# how: "<!-- check: SECTION packages -->" (the packages must be installed),
# "run" (the commands run in bash, in the source tree), "append FILE" or
# "write FILE" (the block's text goes into FILE). Only paths and ports are
# changed: the guide's folders move below a temporary directory, and its
# ports 5432 and 3306 become those of the servers. "sudo" runs the command
# itself (or as the named user through runuser), "mariadb" logs in through
# the server's socket, and password prompts are answered through PGPASSWORD.
#
# Afterwards it checks what the guide says about the data sources beyond
# the recipes themselves, and repeats the MariaDB recipe on a second server
# that runs with lower_case_table_names=1.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
source "$KALVYNEX_ROOT/scripts/mariadb-server.sh"

GUIDE="$KALVYNEX_ROOT/docs/databases.md"
: "${KALVYNEX_TEST_PG_ADMIN:?needs the PostgreSQL server of the test command}"
: "${KALVYNEX_TEST_MY_ADMIN:?needs the MariaDB server of the test command}"
PG_SOCKET_DIR=${KALVYNEX_TEST_PG_ADMIN%%:*}
PG_PORT=$(echo "$KALVYNEX_TEST_PG_ADMIN" | cut -d: -f2)
MY_PORT=$(echo "$KALVYNEX_TEST_MY" | cut -d: -f2)
MY_SOCKET=$KALVYNEX_TEST_MY_ADMIN

WORK=$(mktemp -d /tmp/kalvynex-guide.XXXXXX)
chmod 755 "$WORK"
trap 'rm -rf "$WORK"' EXIT

fail() {
  echo "database guide: $*" >&2
  exit 1
}

# ---- the blocks, in the guide's order ----
mkdir -p "$WORK/blocks"
awk -v dir="$WORK/blocks" '
  /^<!-- check: .* -->$/ { how = $0; sub(/^<!-- check: /, "", how); sub(/ -->$/, "", how); next }
  how != "" && !inside && /^```/ { inside = 1; n++; file = sprintf("%s/%02d", dir, n);
                                   print how > (file ".how"); close(file ".how"); next }
  inside && /^```/ { inside = 0; how = ""; printf "" >> file; close(file); next }
  inside { print > file }
' "$GUIDE"
ls "$WORK"/blocks/*.how >/dev/null 2>&1 || fail "no checked blocks in $GUIDE"

# The guide's paths and ports, as they are here.
localize() {
  sed -e "s#/var/lib/kalvynex#$WORK/var/lib/kalvynex#g" \
      -e "s#/etc/kalvynex#$WORK/etc/kalvynex#g" \
      -e "s#/srv/responses#$WORK/srv/responses#g" \
      -e "s#/usr/bin/kalvynex.ini#$WORK/usr/bin/kalvynex.ini#g" \
      -e "s#^\(Port *= *\)5432\$#\1$PG_PORT#" \
      -e "s#^\(Port *= *\)3306\$#\1$MY_PORT#" "$1"
}

# What the commands of the guide find in place of the real thing.
sudo() {
  if [ "${1:-}" = "-u" ]; then
    local user=$2
    shift 2
    (cd / && runuser -u "$user" -- "$@")
  else
    "$@"
  fi
}
mariadb() {
  if [ "${1:-}" = --no-defaults ]; then
    command mariadb "$@"  # the server script's own logins
  else
    command mariadb --socket="$MY_SOCKET" "$@"
  fi
}
export -f sudo mariadb
export MY_SOCKET PGHOST="$PG_SOCKET_DIR" PGPORT="$PG_PORT" PGPASSWORD=change-me
mkdir -p "$WORK/usr/bin"
cp "$KALVYNEX_BUILD_DIR/kalvynex" "$WORK/usr/bin/kalvynex"
export PATH="$WORK/usr/bin:$PATH"

# A machine where the guide already ran (a reused server) starts afresh.
PGOPTIONS='-c client_min_messages=warning' runuser -u postgres -- psql -X -q -h "$PG_SOCKET_DIR" -p "$PG_PORT" -U postgres \
  -c "DROP DATABASE IF EXISTS calibdb" -c "DROP ROLE IF EXISTS kalvynex" >/dev/null
mariadb -e "DROP DATABASE IF EXISTS calibdb; DROP USER IF EXISTS 'kalvynex'@'localhost'"

# Runs the blocks whose section is one of $1 (a pattern) and whose kind is
# one of $2.
run_blocks() {
  local sections=$1 kinds=$2 how section kind target block
  for how in "$WORK"/blocks/*.how; do
    block=${how%.how}
    read -r section kind target <"$how"
    [[ $section =~ ^($sections)$ && $kind =~ ^($kinds)$ ]] || continue
    localize "$block" >"$block.local"
    case $kind in
      packages)
        local package
        for package in $(sed -n 's/.*apt-get install//p' "$block.local"); do
          [[ $package == -* ]] && continue
          dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || fail "package $package of the $section section is not installed"
        done
        ;;
      run)
        (cd "$KALVYNEX_ROOT" && bash -euo pipefail "$block.local") >"$block.out" 2>&1 \
          || { cat "$block.local" "$block.out" >&2; fail "a $section block failed"; }
        ;;
      append | write)
        local file
        file=$(echo "$target" | localize /dev/stdin)
        mkdir -p "$(dirname "$file")"
        [ "$kind" = write ] && : >"$file"
        { cat "$block.local"; echo; } >>"$file"
        ;;
      *) fail "unknown kind of block: $kind" ;;
    esac
  done
}

echo "recipes"
run_blocks "sqlite|postgresql|mariadb" "packages|run|append|write"
run_blocks "all" "packages|run|append|write"
grep -q "OUTPUT FILENAME: $WORK/srv/responses/ABC_BHZ_XX_00_20110101.sac" "$WORK"/blocks/*.out \
  || fail "the runs wrote no response file"
for dsn in kalvynex_sqlite kalvynex_postgresql kalvynex_mariadb; do
  grep -q "^\[$dsn\]" "$WORK/etc/kalvynex/odbc.ini" || fail "no data source $dsn"
done

# ---- what the guide says beyond the recipes ----
ODBCINI="$WORK/etc/kalvynex/odbc.ini"
export ODBCINI

# Runs kalvynex with the guide's settings file; $1 is the expected last
# message line, the rest are arguments.
expect_message() {
  local expected=$1 out
  shift
  out=$(kalvynex SELECT=ABC:BHZ:XX:00 "$@") || true
  printf '%s\n' "$out" | grep -qxF "$expected" \
    || { printf '%s\n' "$out" >&2; fail "expected \"$expected\" (kalvynex $*)"; }
}

echo "data source notes"
sed -e "s#^Database = /.*#Database = $WORK/var/lib/kalvynex/missing.sqlite#" \
  "$ODBCINI" >"$WORK/etc/kalvynex/wrong-path.ini"
ODBCINI="$WORK/etc/kalvynex/wrong-path.ini" \
  expect_message "Connection ERROR: [unixODBC][SQLite]connect failed" ODBC=kalvynex_sqlite
sed -e "s#^Database = /.*#Database = $WORK/var/lib/kalvynex/mistyped.sqlite#" -e '/^NoCreat/d' \
  "$ODBCINI" >"$WORK/etc/kalvynex/no-nocreat.ini"
ODBCINI="$WORK/etc/kalvynex/no-nocreat.ini" \
  expect_message "ERROR (Checking table CALIBRATION): NOT FOUND" ODBC=kalvynex_sqlite
sed -e 's#^Driver *= MariaDB Unicode#Driver = No Such Driver#' \
  "$ODBCINI" >"$WORK/etc/kalvynex/no-driver.ini"
ODBCINI="$WORK/etc/kalvynex/no-driver.ini" expect_message \
  "Connection ERROR: [unixODBC][Driver Manager]Data source name not found and no default driver specified" \
  ODBC=kalvynex_mariadb
# MariaDB: Database= is required; Server = localhost and Socket = both work.
awk '/^\[kalvynex_mariadb\]/ { on = 1 } /^\[/ && !/kalvynex_mariadb/ { on = 0 }
     !(on && /^Database/)' "$ODBCINI" >"$WORK/etc/kalvynex/no-database.ini"
ODBCINI="$WORK/etc/kalvynex/no-database.ini" \
  expect_message "ERROR (Checking table CALIBRATION): NOT FOUND" ODBC=kalvynex_mariadb
sed -e 's#^Server *= 127.0.0.1#Server   = localhost#' "$ODBCINI" >"$WORK/etc/kalvynex/localhost.ini"
ODBCINI="$WORK/etc/kalvynex/localhost.ini" \
  expect_message "OUTPUT FILENAME: $WORK/srv/responses/ABC_BHZ_XX_00_20110101.sac" ODBC=kalvynex_mariadb
sed -e "s#^Port *= $MY_PORT\$#Port     = 1\nSocket   = $MY_SOCKET#" "$ODBCINI" >"$WORK/etc/kalvynex/socket.ini"
grep -q '^Socket' "$WORK/etc/kalvynex/socket.ini" || fail "no Socket line written"
ODBCINI="$WORK/etc/kalvynex/socket.ini" \
  expect_message "OUTPUT FILENAME: $WORK/srv/responses/ABC_BHZ_XX_00_20110101.sac" ODBC=kalvynex_mariadb

# psqlODBC: with the guide's data source and Debian's driver entry (not the
# test command's quiet copy), a program that closes its connection (isql)
# leaves a log file, but without the password in it. The driver names it
# after the program, which it reads as "isql" or, at times, "isqlU".
logs_before=$(ls /tmp | grep '^psqlodbc_isql' || true)
echo "select count(*) from CALIBRATION" | env -u ODBCSYSINI isql -b kalvynex_postgresql kalvynex change-me >/dev/null \
  || fail "isql could not use kalvynex_postgresql"
new_logs=0
for log in $(ls /tmp | grep '^psqlodbc_isql' || true); do
  printf '%s\n' "$logs_before" | grep -qxF "$log" && continue
  new_logs=$((new_logs + 1))
  if grep -q 'change-me' "/tmp/$log"; then
    rm -f "/tmp/$log"
    fail "the psqlODBC log holds the password"
  fi
  rm -f "/tmp/$log"
done
[ "$new_logs" -gt 0 ] || fail "isql left no psqlODBC log file (the guide says it does)"

# ---- the MariaDB recipe on a server with lower_case_table_names=1 ----
echo "MariaDB with lower_case_table_names=1"
(
  MY_SERVER_OPTIONS="--lower-case-table-names=1 --skip-networking"
  trap stop_mariadb_server EXIT
  start_mariadb_server
  MY_SOCKET=$KALVYNEX_TEST_MY_ADMIN
  export MY_SOCKET
  run_blocks "mariadb" "run"
  stored=$(mariadb -N -e "SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'calibdb'")
  [ "$stored" = calibration ] || fail "table stored as \"$stored\", not in lower case"
  sed -e "s#^Port *= $MY_PORT\$#Socket   = $MY_SOCKET#" "$ODBCINI" >"$WORK/etc/kalvynex/lower-case.ini"
  ODBCINI="$WORK/etc/kalvynex/lower-case.ini" \
    expect_message "OUTPUT FILENAME: $WORK/srv/responses/ABC_BHZ_XX_00_20110101.sac" ODBC=kalvynex_mariadb
)
echo "database guide: every recipe works"
