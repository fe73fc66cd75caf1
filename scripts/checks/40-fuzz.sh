# Fuzzing: builds the libFuzzer targets of fuzz/ with clang and runs each
# for KALVYNEX_FUZZ_SECONDS (default 20), starting from its seed corpus in
# fuzz/corpus/<target>/. A crash, a sanitizer report, a failed invariant, a
# timeout or running out of memory fails the stage; the input that caused it
# is kept in the work directory and printed as a path.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"

SECONDS_PER_TARGET=${KALVYNEX_FUZZ_SECONDS:-20}
BUILD="$KALVYNEX_BUILD_DIR-fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$KALVYNEX_ROOT/fuzz" -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" >/dev/null

WORK="$BUILD/runs"
rm -rf "$WORK"
mkdir -p "$WORK"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=()
for binary in "$BUILD"/*_fuzz; do
  target=$(basename "$binary" _fuzz)
  seeds="$KALVYNEX_ROOT/fuzz/corpus/$target"
  # New inputs go into a corpus of this run; the seeds in the tree stay as
  # they are.
  mkdir -p "$WORK/$target"
  status=0
  "$binary" -max_total_time="$SECONDS_PER_TARGET" -print_final_stats=1 -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="$WORK/$target-" "$WORK/$target" "$seeds" \
    >"$WORK/$target.log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$WORK/$target.log")
  printf '%-16s %10s executions\n' "$target" "${runs:-?}"
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$WORK/$target.log"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
