# Static analysis of the product code (app/, config/, db/, inventory/, response/):
# clang-tidy with the checks of .clang-tidy, on the compile commands of the
# regular build, and cppcheck. Any finding fails the stage. A false positive
# is silenced where it occurs (NOLINT / cppcheck-suppress) with its reason.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
cd "$KALVYNEX_ROOT"

SOURCES=(app config db inventory response)
mapfile -t files < <(find "${SOURCES[@]}" -name '*.cc' | sort)

echo "clang-tidy: ${#files[@]} files"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
printf '%s\n' "${files[@]}" \
  | xargs -P"$(nproc)" -n1 clang-tidy-14 -p "$KALVYNEX_BUILD_DIR" --quiet >"$log" 2>&1 \
  || status=1
# Findings are printed as "file:line:col: warning|error: ..."; the summary
# lines about suppressed warnings in system headers are not findings.
if grep -qE ': (warning|error):' "$log"; then status=1; fi
if [ "$status" -ne 0 ]; then
  cat "$log"
  echo "clang-tidy found problems"
  exit 1
fi

echo "cppcheck"
cppcheck --enable=warning,performance,portability --error-exitcode=1 --inline-suppr \
  --std=c++17 --quiet -I. "${SOURCES[@]}"
echo "static analysis: no findings"
