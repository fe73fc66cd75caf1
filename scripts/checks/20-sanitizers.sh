# The unit and end-to-end tests again, in a build with AddressSanitizer
# (leak detection included) and UndefinedBehaviorSanitizer. The first report
# ends the process that made it; the stage stops at the first failed test.
#
# The end-to-end tests start the program as a child process, which inherits
# this environment, so its reports count as well. Every process writes its
# reports into one directory; any file there fails the stage, even when the
# test that started the process did not look at its exit status.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"

BUILD="$KALVYNEX_BUILD_DIR-sanitize"
build_tree "$BUILD" -DKALVYNEX_SANITIZE=ON

REPORTS="$BUILD/sanitizer-reports"
rm -rf "$REPORTS"
mkdir -p "$REPORTS"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:log_path=$REPORTS/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$REPORTS/ubsan"

status=0
ctest --test-dir "$BUILD" --output-on-failure --stop-on-failure -j"$(nproc)" || status=$?

reports=("$REPORTS"/*)
if [ -e "${reports[0]}" ]; then
  echo "Sanitizer reports:"
  for report in "${reports[@]}"; do
    echo "--- $(basename "$report")"
    cat "$report"
  done
  status=1
fi
exit "$status"
