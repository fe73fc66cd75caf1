# Unit and end-to-end tests of the regular build; every StationXML document
# of pole-zero channels that they validate is then read by a third-party
# parser (tests/js: seisplotjs, pinned by its lock file), and the page of
# the serve command is driven in headless Chromium (puppeteer-core, pinned
# there too, with Debian's chromium).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
KALVYNEX_STATIONXML_DIR=$(mktemp -d /tmp/kalvynex-stationxml.XXXXXX)
export KALVYNEX_STATIONXML_DIR
trap 'rm -rf "$KALVYNEX_STATIONXML_DIR"' EXIT
ctest --test-dir "$KALVYNEX_BUILD_DIR" --output-on-failure -j"$(nproc)"
echo "== StationXML read by seisplotjs"
command -v npm >/dev/null || ensure_packages npm
(cd "$KALVYNEX_ROOT/tests/js" &&
  PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
# The writer's, the demo's and the date tests' documents at least.
node "$KALVYNEX_ROOT/tests/js/read_stationxml.mjs" "$KALVYNEX_STATIONXML_DIR" 5
echo "== The serve command's page in headless Chromium"
node "$KALVYNEX_ROOT/tests/js/serve_page.mjs" "$KALVYNEX_BUILD_DIR/kalvynex-inventory"
