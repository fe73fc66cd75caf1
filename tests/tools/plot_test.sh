#!/usr/bin/env bash
# Tests of tools/kalvynex-plot on .fap files that the real kalvynex binary
# writes from the demo database, with the real gnuplot and with a stand-in
# gnuplot that keeps the commands it is given.
#
# Uses $KALVYNEX_BUILD_DIR/kalvynex when the test command has built it;
# otherwise builds into build/.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

PLOT="$KALVYNEX_ROOT/tools/kalvynex-plot"
BUILD=${KALVYNEX_BUILD_DIR:-$KALVYNEX_ROOT/build}
[ -x "$BUILD/kalvynex" ] || build_tree "$BUILD" -DKALVYNEX_TESTS=OFF

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0

check() { # description, command...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# Width and height from the IHDR chunk of a PNG file, as "WIDTHxHEIGHT".
png_size() {
  local b
  read -ra b < <(head -c 24 "$1" | tail -c 8 | od -An -tu1)
  echo "$(((b[0] << 24) + (b[1] << 16) + (b[2] << 8) + b[3]))x$(((b[4] << 24) + (b[5] << 16) + (b[6] << 8) + b[7]))"
}
is_png() { [ "$(head -c 8 "$1" | od -An -c | tr -d ' ')" = '211PNG\r\n032\n' ]; }

# Runs the tool; leaves its status, stdout and stderr in status, out, err.
run_plot() {
  "$PLOT" "$@" >"$WORK/stdout" 2>"$WORK/stderr"
  status=$?
  out=$(cat "$WORK/stdout")
  err=$(cat "$WORK/stderr")
}

# --- .fap files from the real binary: GSE2, QEV and a form without a unit
create_demo_database "$WORK/calibration.sqlite"
printf '[plot_demo]\nDriver = SQLite3\nDatabase = %s\nNoCreat = 1\n' "$WORK/calibration.sqlite" >"$WORK/odbc.ini"
export ODBCINI="$WORK/odbc.ini"
for form in GSE2 QEV 3; do
  mkdir -p "$WORK/$form"
  (cd "$WORK/$form" && "$BUILD/kalvynex" SELECT=ABC:BHZ:XX:00 DATE=2005-07-15 ODBC=plot_demo \
    OUT_DIR=. -FAP TYPE_OUT=$form >/dev/null) || { echo "FAIL kalvynex -FAP TYPE_OUT=$form"; exit 1; }
  mv "$WORK/$form"/*.fap "$WORK/$form.fap"
done

echo "-- real gnuplot"
for form in GSE2 QEV 3; do
  run_plot "$WORK/$form.fap" "$WORK/$form-out.png"
  check "$form: exit 0, output path on stdout, quiet" \
    test "$status:$out:$err" = "0:$WORK/$form-out.png:"
  check "$form: a PNG of the default size 900x700" \
    eval 'is_png "$WORK/$form-out.png" && [ "$(png_size "$WORK/$form-out.png")" = 900x700 ]'
done
run_plot -s 640x480 "$WORK/GSE2.fap"
check "-s 640x480, output beside the input" \
  eval '[ $status -eq 0 ] && [ "$(png_size "$WORK/GSE2.png")" = 640x480 ]'

echo "-- what is drawn (stand-in gnuplot)"
STUB="$WORK/stub"
mkdir -p "$STUB"
cat >"$STUB/gnuplot" <<'EOF'
#!/bin/sh
# Answers the terminal probe with $STUB_PROBE, keeps the commands, writes a dummy picture.
[ "$1" = -e ] && exit "${STUB_PROBE:-0}"
cp "$1" "$STUB_KEEP"
printf 'picture' >"$(sed -n "s/^set output '\(.*\)'$/\1/p" "$1")"
EOF
chmod +x "$STUB/gnuplot"
export STUB_KEEP="$WORK/plot.gp"
stub_plot() { PATH="$STUB:$PATH" run_plot "$@" "$WORK/stub.png"; }
has() { grep -qxF -- "$1" "$STUB_KEEP"; }
data_rows() { sed -n '/<< END_OF_DATA$/,/^END_OF_DATA$/p' "$STUB_KEEP" | grep -c '^[0-9]'; }

stub_plot "$WORK/GSE2.fap"
check "GSE2: unit label, channel and validity in the title, all 12 triplets" eval \
  "has \"set ylabel 'Count/(nM/sec)' noenhanced\" && grep -qF \"title 'ABC:BHZ:00:XX   valid 2005/03/01 12:30 to 2010/12/31 23:59'\" \"\$STUB_KEEP\" && [ \$(data_rows) -eq 12 ]"
check "GSE2: frequency and amplitude passed on as written" has "0.0100000 4.8639748e-003 75.4650000"
stub_plot "$WORK/QEV.fap"
check "QEV: label mkM/Count" has "set ylabel 'mkM/Count' noenhanced"
stub_plot "$WORK/3.fap"
check "no unit label: y label 'amplitude'" has "set ylabel 'amplitude' noenhanced"
STUB_PROBE=1 stub_plot "$WORK/GSE2.fap"
check "without pngcairo the png terminal is used" grep -q '^set terminal png size 900,700' "$STUB_KEEP"

# Edited copies of the GSE2 file: LF line ends, a 6-character station with
# a quote and no end date, amplitudes that a log axis cannot show.
sed 's/\r$//' "$WORK/GSE2.fap" >"$WORK/lf.fap"
stub_plot "$WORK/lf.fap"
check "LF line ends read alike" eval '[ $status -eq 0 ] && [ $(data_rows) -eq 12 ]'
sed -e "1s/^CAL2 ABC   BHZ/CAL2 AB'CDE BHZ/; 1s/ 2010\/12\/31 23:59//; 2s/ABC:/AB'CDE:/" \
  "$WORK/GSE2.fap" >"$WORK/long.fap"
stub_plot "$WORK/long.fap"
check "long station with a quote, no end date" grep -qF \
  "title 'AB''CDE:BHZ:00:XX   valid from 2005/03/01 12:30'" "$STUB_KEEP"
sed -e '4s/4.8639748e-003/inf/; 5s/2.3337959e-002/-nan/; 6s/1.4798729e-001/0.0000000e+000/' \
  "$WORK/GSE2.fap" >"$WORK/inf.fap"
stub_plot "$WORK/inf.fap"
check "inf, nan and zero amplitudes left out with a warning" eval \
  '[ $status -eq 0 ] && [ $(data_rows) -eq 9 ] && [[ $err == *"warning: left out 3 of 12 triplets"*"first on line 4"* ]]'

echo "-- files it cannot read"
head -3 "$WORK/GSE2.fap" >"$WORK/no-triplets.fap"
sed '4s/ 75.4650000/ 75.4x/' "$WORK/GSE2.fap" >"$WORK/bad-number.fap"
: >"$WORK/empty.fap"
awk 'NR > 3 { $2 = "-1.0e+000" } 1' "$WORK/GSE2.fap" >"$WORK/none.fap"
while IFS='|' read -r file reason; do
  rm -f "$WORK/stub.png"
  run_plot "$WORK/$file" "$WORK/stub.png"
  check "$file: exit 1, '$reason'" eval \
    '[ $status -eq 1 ] && [ "$err" = "kalvynex-plot: $WORK/$file: $reason" ] && [ ! -e "$WORK/stub.png" ]'
done <<'EOF'
missing.fap|no such file
no-triplets.fap|no triplets after the FAP2 line
GSE2-out.png|not a kalvynex .fap file: line 1 is not a CAL2 line
bad-number.fap|line 4: "75.4x" is not a number
empty.fap|empty file
none.fap|none of the 12 triplets can be drawn (zero, negative, inf or nan values)
EOF
run_plot "$WORK/GSE2.fap" "$WORK/no-such-dir/out.png"
check "unwritable output: exit 1" test "$status:$err" = "1:kalvynex-plot: $WORK/no-such-dir/out.png: cannot write"
for args in "" "-s 100x100 $WORK/GSE2.fap" "-x $WORK/GSE2.fap" "a b c" "$WORK/GSE2.fap $WORK/GSE2.fap"; do
  # shellcheck disable=SC2086 # the arguments are meant to be split
  run_plot $args
  check "usage error '${args//"$WORK/"/}': exit 2" eval '[ $status -eq 2 ] && [[ $err == "kalvynex-plot: "* ]]'
done

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
