# Unit and end-to-end tests of the regular build; every StationXML document
# of pole-zero channels that they validate is then read by a third-party
# parser (tests/js: seisplotjs, pinned by its lock file); the page of the
# serve command is driven in headless Chromium (puppeteer-core, pinned there
# too, with Debian's chromium); and seisplotjs queries the station service on
# the demo database and must find what the stationxml export of the same
# selection holds.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
KALVYNEX_STATIONXML_DIR=$(mktemp -d /tmp/kalvynex-stationxml.XXXXXX)
export KALVYNEX_STATIONXML_DIR
SERVICE_WORK=$(mktemp -d /tmp/kalvynex-service.XXXXXX)
SERVICE_PID=
cleanup() {
  [ -z "$SERVICE_PID" ] || kill -KILL "$SERVICE_PID" 2>/dev/null || true
  rm -rf "$KALVYNEX_STATIONXML_DIR" "$SERVICE_WORK"
}
trap cleanup EXIT
ctest --test-dir "$KALVYNEX_BUILD_DIR" --output-on-failure -j"$(nproc)"
echo "== StationXML read by seisplotjs"
command -v npm >/dev/null || ensure_packages npm
(cd "$KALVYNEX_ROOT/tests/js" &&
  PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
# The writer's, the demo's and the date tests' documents at least.
node "$KALVYNEX_ROOT/tests/js/read_stationxml.mjs" "$KALVYNEX_STATIONXML_DIR" 5
echo "== The serve command's page in headless Chromium"
node "$KALVYNEX_ROOT/tests/js/serve_page.mjs" "$KALVYNEX_BUILD_DIR/kalvynex-inventory"

echo "== The station service queried by seisplotjs"
fail() {
  echo "station service: $*" >&2
  [ ! -s "$SERVICE_WORK/service.log" ] || { echo "-- its standard error:" >&2; tail -n 20 "$SERVICE_WORK/service.log" >&2; }
  exit 1
}
INVENTORY="$KALVYNEX_BUILD_DIR/kalvynex-inventory"
create_demo_database "$SERVICE_WORK/demo.sqlite"
printf '[kalvynex_service]\nDriver = SQLite3\nDatabase = %s\nNoCreat = 1\n' \
  "$SERVICE_WORK/demo.sqlite" >"$SERVICE_WORK/odbc.ini"
# Two stations with places; YY.GHI is left out (written at 0, 0, 0).
cat >"$SERVICE_WORK/stations.csv" <<'CSV'
network,station,latitude,longitude,elevation,site
XX,ABC,45.5,-120.25,1020,"Abc Ridge"
XX,DEF,-33.125,151.5,12.5,Def Bay
CSV
# Every channel with a pole-zero response or none (seisplotjs reads no
# ResponseList, so ABC.BHN, which has only a FAP text, stays out), the
# location "??" and a channel without a response among them.
SELECTION='network=XX,YY&channel=BHZ,BHE,LHZ,HHZ'
status=0
env -u QEV -u WINDIR -u KALVYNEX_PASSWORD ODBCINI="$SERVICE_WORK/odbc.ini" "$INVENTORY" export \
  -f stationxml -q --dsn kalvynex_service -n XX,YY -c BHZ,BHE,LHZ,HHZ \
  --stations "$SERVICE_WORK/stations.csv" -o "$SERVICE_WORK/expected.xml" || status=$?
# 1: YY.GHI.10.BHZ is written without a response, and reported.
[ "$status" -eq 1 ] || fail "the export ended with $status, not 1"

# A port that was free a moment ago.
port=$(node -e 'const s = require("net").createServer().listen(0, "127.0.0.1", () => {
  console.log(s.address().port); s.close(); });')
# Started directly (env execs the program), so that $! is the service itself.
env -u QEV -u WINDIR -u KALVYNEX_PASSWORD ODBCINI="$SERVICE_WORK/odbc.ini" "$INVENTORY" serve \
  --listen "127.0.0.1:$port" --workers 2 --dsn kalvynex_service \
  --stations "$SERVICE_WORK/stations.csv" 2>"$SERVICE_WORK/service.log" &
SERVICE_PID=$!
URL="http://127.0.0.1:$port"
for ((i = 0; ; i++)); do
  node -e 'fetch(process.argv[1]).then((r) => process.exit(r.status === 200 ? 0 : 1), () => process.exit(1))' \
    "$URL/fdsnws/station/1/version" && break
  kill -0 "$SERVICE_PID" 2>/dev/null || { SERVICE_PID=; fail "the service ended before it answered"; }
  [ "$i" -lt 100 ] || fail "no answer from $URL within 10 seconds"
  sleep 0.1
done
KALVYNEX_SERVICE_URL=$URL KALVYNEX_EXPECTED_STATIONXML="$SERVICE_WORK/expected.xml" \
  KALVYNEX_SELECTION=$SELECTION node "$KALVYNEX_ROOT/tests/js/station_query.mjs" \
  || fail "seisplotjs finds differences (above)"
# SIGTERM ends the service with status 0.
kill -TERM "$SERVICE_PID"
status=0
wait "$SERVICE_PID" || status=$?
SERVICE_PID=
[ "$status" -eq 0 ] || fail "the service ended with $status after SIGTERM, not 0"
