#!/usr/bin/env bash
# Many small drawings: velunt-cli over MANY_COUNT copies of one small drawing into --out-dir,
# with --jobs 1 and --jobs 2, and one of them end to end against mawk.
#
#   bench/many.sh   (or bench/run.sh many)
#
# Environment:
#   VELUNT_CLI     velunt-cli binary to measure; unset: build-release/cli/velunt-cli
#   VELUNT_BASE    a second binary measured in the same rounds (before/after); unset: none
#   MANY_SAMPLE    the small drawing to copy (default: the 59 KB cp1252 sample drawing)
#   MANY_COUNT     copies (default 1000)
#   MANY_ROUNDS    rounds of the batch runs (default 5)
#   ONE_RUNS       runs of the one-drawing comparison (default 20)
#
# Each batch run writes into an empty folder (removed before the run, not timed): emptying
# tables left by the run before costs the file system far more than writing new ones.

set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
OUT=bench/out/many
MANY_SAMPLE=${MANY_SAMPLE:-/work/shared/samples/r2000_german-cp1252-text__2051_Pv_Schluessel.dxf}
MANY_COUNT=${MANY_COUNT:-1000}
MANY_ROUNDS=${MANY_ROUNDS:-5}
ONE_RUNS=${ONE_RUNS:-20}
CLI=${VELUNT_CLI:-build-release/cli/velunt-cli}
BASE=${VELUNT_BASE:-}

die() {
    echo "bench: $*" >&2
    exit 1
}
[[ -f "$MANY_SAMPLE" ]] || die "no sample drawing $MANY_SAMPLE (set MANY_SAMPLE)"
[[ -x "$CLI" ]] || die "$CLI is not an executable file (set VELUNT_CLI, or run bench/run.sh once)"
[[ -z "$BASE" || -x "$BASE" ]] || die "VELUNT_BASE=$BASE is not an executable file"
[[ -x /usr/bin/time ]] || die "/usr/bin/time is missing: install the Debian package 'time'"
command -v mawk >/dev/null || die "mawk is missing: install the Debian package 'mawk'"

mkdir -p "$OUT/drawings"
if [[ $(find "$OUT/drawings" -name '*.dxf' | wc -l) != "$MANY_COUNT" ]] ||
    ! cmp -s "$MANY_SAMPLE" "$OUT/drawings/d1.dxf"; then
    rm -rf "$OUT/drawings" && mkdir -p "$OUT/drawings"
    for ((i = 1; i <= MANY_COUNT; ++i)); do cp "$MANY_SAMPLE" "$OUT/drawings/d$i.dxf"; done
fi
cp "$MANY_SAMPLE" "$OUT/one.dxf"
# Four columns of TEXT, CR LF as the tool's own configuration files have them.
printf '%s\r\n' 'dxfpath=one.dxf' 'txtpath=one.txt' 'masterkey=TEXT' 'trennzeich=;' \
    'dezzeich=,' '[Spalten]' '  8|1|Layer' ' 10|2|RW' ' 20|3|HW' '  1|4|Text' '' '[Ende]' \
    >"$OUT/velunt.ini"
cat "$OUT"/drawings/*.dxf >/dev/null

median() { sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) printf "%.4f", v[(NR + 1) / 2]; else printf "%.4f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

contenders=(new)
[[ -n "$BASE" ]] && contenders+=(base)
binary() { if [[ $1 == new ]]; then echo "$CLI"; else echo "$BASE"; fi; }

# One batch run; appends "wall cpu rss_kb" to $OUT/<contender>-jobs<N>.times.
batch_run() {
    local who=$1 jobs=$2 dir=$OUT/tables-$1-$2
    rm -rf "$dir"
    /usr/bin/time -f '%e %U %S %M' -o "$OUT/time.tmp" "$(binary "$who")" --ini "$OUT/velunt.ini" \
        --jobs "$jobs" --out-dir "$dir" "$OUT"/drawings/*.dxf 2>"$OUT/$who-$jobs.stderr" ||
        die "$who --jobs $jobs failed: $(tail -n 3 "$OUT/$who-$jobs.stderr")"
    awk '{ printf "%s %.3f %s\n", $1, $2 + $3, $4 }' "$OUT/time.tmp" >>"$OUT/$who-jobs$jobs.times"
}

rm -f "$OUT"/*.times
for ((round = 1; round <= MANY_ROUNDS; ++round)); do
    for who in "${contenders[@]}"; do
        for jobs in 1 2; do batch_run "$who" "$jobs"; done
    done
done
for who in "${contenders[@]}"; do
    diff -rq "$OUT/tables-new-1" "$OUT/tables-$who-2" >/dev/null ||
        die "the tables of $who --jobs 2 differ from those of velunt-cli --jobs 1"
done

# One drawing end to end, interleaved with mawk; bash's clock around each process.
one_times() { # label command...
    local label=$1 t0 t1
    shift
    t0=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }' >>"$OUT/one-$label.times"
}
for ((run = 1; run <= ONE_RUNS; ++run)); do
    one_times mawk mawk 'END { print NR }' "$OUT/one.dxf"
    for who in "${contenders[@]}"; do
        one_times "$who" "$(binary "$who")" --ini "$OUT/velunt.ini" --dxf "$OUT/one.dxf" \
            --txt "$OUT/one-$who.txt"
    done
done

column_median() { awk -v c="$2" '{ print $c }' "$1" | median; }
echo "$MANY_COUNT copies of $(basename "$MANY_SAMPLE") ($(stat -c %s "$MANY_SAMPLE") bytes), 4 TEXT" \
    "columns, medians of $MANY_ROUNDS rounds (wall s, user+sys s, peak RSS MiB)"
for who in "${contenders[@]}"; do
    for jobs in 1 2; do
        f=$OUT/$who-jobs$jobs.times
        printf '  %-4s --jobs %d: %6.3f s wall  %6.3f s cpu  %5.1f MiB\n' "$who" "$jobs" \
            "$(column_median "$f" 1)" "$(column_median "$f" 2)" \
            "$(awk '$3 > m { m = $3 } END { print m / 1024 }' "$f")"
    done
done
one_mawk=$(median <"$OUT/one-mawk.times")
echo "One drawing end to end, medians of $ONE_RUNS runs: mawk 'END{print NR}' $one_mawk s"
for who in "${contenders[@]}"; do
    awk -v v="$(median <"$OUT/one-$who.times")" -v m="$one_mawk" -v w="$who" \
        'BEGIN { printf "  %-4s %.4f s = %.2f x mawk\n", w, v, v / m }'
done
awk -v j1="$(column_median "$OUT/new-jobs1.times" 1)" -v j2="$(column_median "$OUT/new-jobs2.times" 1)" \
    -v one="$(median <"$OUT/one-new.times")" -v m="$one_mawk" \
    -v kb="$(awk '$3 > m { m = $3 } END { print m }' "$OUT/new-jobs2.times")" 'BEGIN {
    print "velunt-cli against the targets"
    printf "  --jobs 2:               %6.3f s   (target <= 0.12)   %s\n", j2, (j2 <= 0.12 ? "met" : "NOT MET")
    printf "  --jobs 1 / --jobs 2:    %6.2f x   (target >= 1.3)    %s\n", j1 / j2, (j1 / j2 >= 1.3 ? "met" : "NOT MET")
    printf "  one drawing / mawk:     %6.2f x   (target <= 1.6)    %s\n", one / m, (one / m <= 1.6 ? "met" : "NOT MET")
    printf "  peak RSS, --jobs 2:     %6.1f MiB (target < 32)     %s\n", kb / 1024, (kb < 32 * 1024 ? "met" : "NOT MET")
}'
