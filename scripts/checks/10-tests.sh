# Unit and end-to-end tests of the regular build.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
ctest --test-dir "$KALVYNEX_BUILD_DIR" --output-on-failure -j"$(nproc)"
