# The Debian package: the manual page formats without a warning, cpack builds
# the .deb from a Release tree, its control fields and contents are right, and
# the program extracted from it exports one channel of the demo database,
# reaching it through the sample odbc.ini that the package ships.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"

fail() {
  echo "package: $*" >&2
  exit 1
}

# --- manual page ------------------------------------------------------------
MAN_PAGE="$KALVYNEX_ROOT/man/kalvynex.1"
for page in "$KALVYNEX_ROOT"/man/*.1; do
  warnings=$(groff -ww -z -man "$page" 2>&1) || fail "groff failed on $page: $warnings"
  [ -z "$warnings" ] || fail "groff warnings in $page:
$warnings"
  # mandoc is stricter about the man(7) macros; used when it is there.
  if command -v mandoc >/dev/null; then
    mandoc -T lint -W warning "$page" || fail "mandoc warnings in $page"
  fi
done

INVENTORY_MAN_PAGE="$KALVYNEX_ROOT/man/kalvynex-inventory.1"
warnings=$(groff -ww -z -man "$INVENTORY_MAN_PAGE" 2>&1) || fail "groff failed on man/kalvynex-inventory.1: $warnings"
[ -z "$warnings" ] || fail "groff warnings in man/kalvynex-inventory.1:
$warnings"

# --- build the package ------------------------------------------------------
BUILD="$KALVYNEX_BUILD_DIR-package"
build_tree "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKALVYNEX_TESTS=OFF
PACKAGES="$BUILD/packages"
rm -rf "$PACKAGES"
cpack_log="$BUILD/cpack.log"
cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$PACKAGES" >"$cpack_log" 2>&1 \
  || { cat "$cpack_log"; fail "cpack failed"; }

version=$(sed -n 's/^project(kalvynex VERSION \([0-9][0-9.]*\).*/\1/p' "$KALVYNEX_ROOT/CMakeLists.txt")
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
arch=$(dpkg --print-architecture)
deb="$PACKAGES/kalvynex_${version}_${arch}.deb"
[ -f "$deb" ] || { ls -l "$PACKAGES"; fail "expected $deb"; }

# --- control fields -----------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kalvynex ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project is $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
# A package name in a list: at the start or after ", ", followed by a version,
# an alternative or the end of the entry.
has_package() { grep -Eq "(^|, )$1( |,|\$)" <<<"$2"; }
has_package libodbc2 "$depends" || fail "Depends lacks libodbc2: $depends"
has_package libc6 "$depends" || fail "Depends lacks libc6: $depends"
has_package libxml2 "$depends" || fail "Depends lacks libxml2: $depends"
has_package libmicrohttpd12 "$depends" || fail "Depends lacks libmicrohttpd12: $depends"
recommends=$(field Recommends)
for driver in libsqliteodbc odbc-postgresql odbc-mariadb; do
  grep -Eq "(^| )$driver( |\$)" <<<"$recommends" || fail "Recommends lacks $driver: $recommends"
done

# --- lintian: no error and no warning ------------------------------------------
# Overrides, if any, live in packaging/ with the reason for each.
if ! lintian_out=$(lintian --fail-on error,warning --suppress-tags-from-file \
    "$KALVYNEX_ROOT/packaging/lintian-suppressed" "$deb" 2>&1); then
  echo "$lintian_out" >&2
  fail "lintian reports errors or warnings"
fi
[ -z "$lintian_out" ] || echo "$lintian_out"

# --- contents -----------------------------------------------------------------
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
# Everything below /usr but the systemd unit, which goes where Debian's own
# packages put theirs.
UNIT=kalvynex-inventory.service
outside=$(grep -Ev '^\./(usr/.*)?$' <<<"$contents" \
  | grep -vxF -e ./lib/ -e ./lib/systemd/ -e ./lib/systemd/system/ -e "./lib/systemd/system/$UNIT" || true)
[ -z "$outside" ] || fail "files outside /usr:
$outside"
expected=(./usr/bin/kalvynex ./usr/bin/kalvynex-plot ./usr/share/man/man1/kalvynex.1.gz
  ./usr/share/man/man1/kalvynex-plot.1.gz ./usr/share/doc/kalvynex/copyright
  ./usr/share/doc/kalvynex/changelog.gz ./usr/share/kalvynex/demo-data.sql
  ./usr/share/kalvynex/kalvynex.ini ./usr/share/kalvynex/qev.ini
  ./usr/share/kalvynex/odbc.ini.sample
  ./usr/bin/kalvynex-inventory ./usr/share/man/man1/kalvynex-inventory.1.gz
  "./lib/systemd/system/$UNIT")
for schema in "$KALVYNEX_ROOT"/data/schema-*.sql; do
  expected+=("./usr/share/kalvynex/$(basename "$schema")")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" <<<"$contents" || fail "$path is not in the package"
done

WORK=$(mktemp -d /tmp/kalvynex-package.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
ROOT="$WORK/root"
dpkg-deb -x "$deb" "$ROOT"

BIN="$ROOT/usr/bin/kalvynex"
[ -x "$BIN" ] || fail "usr/bin/kalvynex is not executable"
if readelf -d "$BIN" | grep -Eq '\((RPATH|RUNPATH)\)'; then
  fail "usr/bin/kalvynex keeps a library search path of the build: $(readelf -d "$BIN" | grep -E 'RPATH|RUNPATH')"
fi

# The shipped files are the ones of the source tree.
SHARE="$ROOT/usr/share/kalvynex"
for name in kalvynex.ini qev.ini odbc.ini.sample demo-data.sql; do
  cmp -s "$KALVYNEX_ROOT/data/$name" "$SHARE/$name" || fail "usr/share/kalvynex/$name differs from data/$name"
done
for schema in "$KALVYNEX_ROOT"/data/schema-*.sql; do
  cmp -s "$schema" "$SHARE/$(basename "$schema")" || fail "usr/share/kalvynex/$(basename "$schema") differs"
done
MAN_GZ="$ROOT/usr/share/man/man1/kalvynex.1.gz"
gzip -t "$MAN_GZ" || fail "the packaged manual page is no valid gzip file"
gzip -dc "$MAN_GZ" | cmp -s - "$MAN_PAGE" || fail "the packaged manual page differs from man/kalvynex.1"

# The unit is the one of the source tree, and nothing enables or starts it:
# the package has no maintainer scripts.
cmp -s "$KALVYNEX_ROOT/packaging/$UNIT" "$ROOT/lib/systemd/system/$UNIT" \
  || fail "lib/systemd/system/$UNIT differs from packaging/$UNIT"
[ "$(stat -c %a "$ROOT/lib/systemd/system/$UNIT")" = 644 ] || fail "$UNIT is not mode 644"
dpkg-deb -e "$deb" "$WORK/control"
scripts=$(find "$WORK/control" -type f ! -name control ! -name md5sums -printf '%f\n')
[ -z "$scripts" ] || fail "the package has maintainer scripts: $scripts"
# systemd's own check of the unit, its ExecStart pointed at the extracted
# program (without systemd there is nothing to check it against).
if command -v systemd-analyze >/dev/null; then
  sed "s|/usr/bin/kalvynex-inventory|$ROOT/usr/bin/kalvynex-inventory|" \
    "$ROOT/lib/systemd/system/$UNIT" >"$WORK/$UNIT"
  verify_out=$(systemd-analyze verify --man=no "$WORK/$UNIT" 2>&1) \
    || fail "systemd-analyze verify rejects $UNIT: $verify_out"
  [ -z "$verify_out" ] || fail "systemd-analyze verify warns about $UNIT: $verify_out"
fi

# The usage screen names the version that the package carries.
"$BIN" --help | grep -qF "Kalvynex v$version" || fail "the usage screen does not name version $version"

# --- one export with the installed program -------------------------------------
# The data source is the SQLite entry of the shipped sample, uncommented and
# pointed at the demo database.
create_demo_database "$WORK/calibration.sqlite"
sed -e '/^;\[kalvynex_sqlite\]/,/^$/s/^;//' \
    -e "/^\[kalvynex_sqlite\]/,/^\$/s|^Database *=.*|Database    = $WORK/calibration.sqlite|" \
    "$SHARE/odbc.ini.sample" >"$WORK/odbc.ini"
grep -q '^\[kalvynex_sqlite\]' "$WORK/odbc.ini" || fail "no SQLite entry in odbc.ini.sample"

# Runs the program $1 in the directory $2 (created, with out/ in it); its
# output goes to $2/stdout, and its exit status is printed.
export_channel() {
  local program=$1 dir=$2 status=0
  mkdir -p "$dir/out"
  (cd "$dir" && env -u QEV -u WINDIR ODBCINI="$WORK/odbc.ini" "$program" \
    SELECT=ABC:BHZ:XX:00 DATE=2005-07-15 ODBC=kalvynex_sqlite OUT_DIR=out >"$dir/stdout") || status=$?
  echo "$status"
}

RUN="$WORK/installed"
status=$(export_channel "$BIN" "$RUN")
[ "$status" -eq 0 ] || { cat "$RUN/stdout"; fail "the installed program ended with $status"; }
OUTPUT=out/ABC_BHZ_XX_00_20050301.sac
grep -qxF "OUTPUT FILENAME: $OUTPUT" "$RUN/stdout" || { cat "$RUN/stdout"; fail "no 'OUTPUT FILENAME: $OUTPUT' line"; }
[ -s "$RUN/$OUTPUT" ] || fail "$OUTPUT was not written"
[ "$(head -n 1 "$RUN/$OUTPUT")" = $'# Station ABC\r' ] || fail "$OUTPUT does not begin with the station line"

# The packaged (Release, stripped) program says and writes exactly what the
# program of the test build does.
if [ -x "$KALVYNEX_BUILD_DIR/kalvynex" ]; then
  REF="$WORK/test-build"
  status=$(export_channel "$KALVYNEX_BUILD_DIR/kalvynex" "$REF")
  [ "$status" -eq 0 ] || fail "the program of the test build ended with $status"
  cmp -s "$REF/stdout" "$RUN/stdout" || { diff "$REF/stdout" "$RUN/stdout" || true; fail "the installed program prints other messages"; }
  cmp -s "$REF/$OUTPUT" "$RUN/$OUTPUT" || fail "the installed program writes another $OUTPUT"
fi
# kalvynex-inventory from the package lists the same demo database.
INVENTORY="$ROOT/usr/bin/kalvynex-inventory"
[ -x "$INVENTORY" ] || fail "usr/bin/kalvynex-inventory is not executable"
gzip -dc "$ROOT/usr/share/man/man1/kalvynex-inventory.1.gz" | cmp -s - "$INVENTORY_MAN_PAGE" \
  || fail "the packaged manual page of kalvynex-inventory differs"
listed=$(env -u QEV -u WINDIR ODBCINI="$WORK/odbc.ini" "$INVENTORY" list -f csv \
  --dsn kalvynex_sqlite -s ABC -c BHZ | wc -l) || fail "the installed kalvynex-inventory failed"
[ "$listed" -eq 4 ] || fail "the installed kalvynex-inventory listed $listed lines, not 4"

echo "package $(basename "$deb"): fields, contents and one export checked"
