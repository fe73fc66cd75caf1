# Unit and end-to-end tests of the regular build; every StationXML document
# of pole-zero channels that they validate is then read by a third-party
# parser (tests/js: seisplotjs, pinned by its lock file).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
KALVYNEX_STATIONXML_DIR=$(mktemp -d /tmp/kalvynex-stationxml.XXXXXX)
export KALVYNEX_STATIONXML_DIR
trap 'rm -rf "$KALVYNEX_STATIONXML_DIR"' EXIT
ctest --test-dir "$KALVYNEX_BUILD_DIR" --output-on-failure -j"$(nproc)"
echo "== StationXML read by seisplotjs"
command -v npm >/dev/null || ensure_packages npm
(cd "$KALVYNEX_ROOT/tests/js" && npm ci --no-audit --no-fund --loglevel=error)
# The writer's, the demo's and the date tests' documents at least.
node "$KALVYNEX_ROOT/tests/js/read_stationxml.mjs" "$KALVYNEX_STATIONXML_DIR" 5
