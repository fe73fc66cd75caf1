# The response plotting tool (tools/kalvynex-plot) on .fap files written by
# the kalvynex binary of the regular build.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
bash "$KALVYNEX_ROOT/tests/tools/plot_test.sh"
