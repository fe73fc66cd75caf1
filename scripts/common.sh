# Shared steps of the demo and test commands. Source it; do not run it.

KALVYNEX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages that are missing; quiet when all are there.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
      || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  # The server packages would start their system services on installation;
  # the tests start servers of their own, so keep those from starting.
  local policy=/usr/sbin/policy-rc.d added_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    added_policy=yes
  fi
  local status=0
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || status=$?
  [ -z "$added_policy" ] || $sudo rm -f "$policy"
  return "$status"
}

# What building and running kalvynex needs.
BUILD_PACKAGES=(g++ cmake make pkg-config libgtest-dev unixodbc unixodbc-dev libsqliteodbc sqlite3 libxml2-dev
  libmicrohttpd-dev)

# What the test command needs beyond building: the database servers and
# drivers of the end-to-end tests, the analysis tools, gnuplot for the
# response plotting tool, dpkg-shlibdeps (dpkg-dev) and groff for the
# package stage, and the locale sources from which a test builds Cyrillic
# console locales for the usage screen, and xmllint (libxml2-utils), which
# validates every StationXML document the tests write against the schema,
# and node (nodejs), which reads them again with a third-party parser from
# npm's registry (npm itself, a package of its own on Debian, is installed
# by that stage when no npm command is there), chromium, in which the same
# stage drives the page of the serve command, and curl, a client of the
# station service's tests.
TEST_PACKAGES=(odbc-postgresql postgresql-15 postgresql gnuplot-nox mariadb-server odbc-mariadb
  dpkg-dev groff-base locales lintian libxml2-utils nodejs chromium curl
  clang-tidy-14 cppcheck clang-14 libclang-rt-14-dev)

# Configures and builds into $1 with extra CMake arguments after it.
build_tree() {
  local dir=$1
  shift
  cmake -S "$KALVYNEX_ROOT" -B "$dir" -DKALVYNEX_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)" >/dev/null
}

# Creates the SQLite demo database $1 from the schema and the demo data.
create_demo_database() {
  local file=$1
  rm -f "$file"
  cat "$KALVYNEX_ROOT/data/schema-sqlite.sql" "$KALVYNEX_ROOT/data/demo-data.sql" | sqlite3 "$file"
}

# Writes into directory $1 a copy of /etc/odbcinst.ini with the drivers'
# logs off (Debian's psqlODBC entries say CommLog=1, which leaves a
# /tmp/psqlodbc_*.log file behind every connection) and exports ODBCSYSINI
# so that unixODBC reads the copy.
use_quiet_driver_entries() {
  local dir=$1
  mkdir -p "$dir"
  sed -E 's/^[[:space:]]*(CommLog|Debug)[[:space:]]*=.*/\1=0/' /etc/odbcinst.ini >"$dir/odbcinst.ini"
  export ODBCSYSINI=$dir
}

# The psqlODBC log files of the processes whose ids file $1 lists, one a
# line, as the tests' process runner records them (KALVYNEX_TEST_PIDS).
# psqlODBC writes /tmp/psqlodbc_<program>_<user><pid>.log whatever TMPDIR
# says, so the user and the process id in the name tell a log of this run
# from the logs of every other program on the machine.
project_driver_logs() {
  local user
  user=$(id -un)
  find /tmp -maxdepth 1 -name "psqlodbc_*_${user}*.log" -user "$(id -u)" -print 2>/dev/null |
    awk -v suffix="_${user}" 'NR == FNR { started[$1] = 1; next }
      { name = $0; sub(/\.log$/, "", name); at = length(name) - length(suffix)
        while (at > 0 && substr(name, at + length(suffix)) ~ /^[0-9]+$/) {
          if (substr(name, at, length(suffix)) == suffix) {
            if (substr(name, at + length(suffix)) in started) print $0
            break
          }
          at--
        }
      }' "$1" - | sort
}
