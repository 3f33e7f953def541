#!/usr/bin/env bash
# Throughput and memory figures for velunt-cli on a large synthetic drawing.
#
#   bench/run.sh            build what is missing, generate bench/out/big.dxf (or reuse it),
#                           time wc -l, the C reference scanner, mawk and velunt-cli in
#                           interleaved rounds, and print the figures
#   bench/run.sh gen        only build the helpers and generate bench/out/big.dxf
#   bench/run.sh longline   peak memory of velunt-cli on a drawing whose one TEXT value is a
#                           single line of LONGLINE_MB MiB (the drawing is deleted afterwards)
#
# Environment:
#   VELUNT_CLI     velunt-cli binary to measure; unset: build it in build-release/ (Release)
#   BENCH_MB       size of big.dxf in MiB (default 1024)
#   BENCH_ROUNDS   rounds, each running every contender once (default 3)
#   LONGLINE_MB    length of the long line in MiB (default 500)
#   BENCH_NO_CLI   1: leave velunt-cli out (measure the other contenders only)
#   BENCH_KEEP     1: keep longline.dxf and its table after the longline run
#   BENCH_SETTINGS further velunt.ini lines, separated by blanks (e.g. "kodierung=UTF-8")
#
# Everything it writes stays in bench/out/. Needs bash, g++, gcc, mawk, GNU time
# (/usr/bin/time, Debian package "time"), and cmake for the velunt-cli build.

set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
BENCH=bench
OUT=bench/out
MODE=${1:-big}
BENCH_MB=${BENCH_MB:-1024}
BENCH_ROUNDS=${BENCH_ROUNDS:-3}
LONGLINE_MB=${LONGLINE_MB:-500}
BENCH_NO_CLI=${BENCH_NO_CLI:-0}
BENCH_KEEP=${BENCH_KEEP:-0}
BENCH_SETTINGS=${BENCH_SETTINGS:-}
MIB=1048576

die() {
    echo "bench: $*" >&2
    exit 1
}

case "$MODE" in
    big | gen | longline) ;;
    -h | --help | help)
        sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *) die "unknown mode '$MODE' (big, gen or longline)" ;;
esac
[[ "$BENCH_MB" =~ ^[1-9][0-9]*$ ]] || die "BENCH_MB must be a positive whole number of MiB"
[[ "$BENCH_ROUNDS" =~ ^[1-9][0-9]*$ ]] || die "BENCH_ROUNDS must be a positive whole number"
[[ "$LONGLINE_MB" =~ ^[1-9][0-9]*$ ]] || die "LONGLINE_MB must be a positive whole number of MiB"

mkdir -p "$OUT"

# --- tools -------------------------------------------------------------------------------

# Installs a Debian package when running as root, otherwise says which one is missing.
need_package() {
    local what=$1 package=$2
    if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
        echo "bench: $what is missing; installing the Debian package '$package'" >&2
        if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$package" >/dev/null; then
            apt-get update -q >/dev/null
            DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$package" >/dev/null
        fi
    else
        die "$what is missing: install the Debian package '$package' (apt-get install $package)"
    fi
}

[[ -x /usr/bin/time ]] || need_package "/usr/bin/time (GNU time)" time
[[ -x /usr/bin/time ]] || die "/usr/bin/time is still missing"
command -v g++ >/dev/null || need_package g++ g++
command -v gcc >/dev/null || need_package gcc gcc
if [[ "$MODE" == big ]]; then
    command -v mawk >/dev/null || need_package mawk mawk
fi

# Compiles a helper when its binary is missing or older than its source.
build_helper() {
    local src=$1 bin=$2
    shift 2
    if [[ ! -x "$bin" || "$src" -nt "$bin" ]]; then
        echo "bench: compiling $src" >&2
        "$@" -o "$bin" "$src"
    fi
}

build_helper "$BENCH/gen_drawing.cpp" "$OUT/gen_drawing" g++ -std=c++20 -O2
build_helper "$BENCH/ref_scanner.c" "$OUT/ref_scanner" gcc -std=c11 -O2

CLI=""
find_cli() {
    if [[ -n "${VELUNT_CLI:-}" ]]; then
        [[ -x "$VELUNT_CLI" ]] || die "VELUNT_CLI=$VELUNT_CLI is not an executable file"
        CLI=$VELUNT_CLI
        return
    fi
    command -v cmake >/dev/null || need_package cmake cmake
    echo "bench: building velunt-cli (Release) in build-release/" >&2
    local log=$OUT/build.log
    if ! { cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVELUNT_BUILD_UI=OFF \
        -DVELUNT_BUILD_TESTS=OFF && cmake --build build-release --target velunt-cli -j2; } \
        >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        die "the velunt-cli build failed (full log: $log); set BENCH_NO_CLI=1 to measure the other contenders only"
    fi
    CLI=build-release/cli/velunt-cli
    [[ -x "$CLI" ]] || die "the build finished but $CLI is missing"
}

if [[ "$MODE" != gen && "$BENCH_NO_CLI" != 1 ]]; then
    find_cli
fi

# --- helpers -----------------------------------------------------------------------------

file_size() { stat -c %s "$1"; }

# Fails early instead of filling the disk halfway through a drawing.
need_space() {
    local mib=$1 avail
    avail=$(df -Pm "$OUT" | awk 'NR == 2 { print $4 }')
    ((avail > mib)) || die "only $avail MiB free in $OUT, need about $mib MiB"
}

# Value of key=value in a statistics file.
stat_value() { sed -n "s/^$2=//p" "$1"; }

# Seconds between two $EPOCHREALTIME stamps.
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }

# Runs a command under GNU time; sets RUN_SECONDS (wall clock), RUN_RSS_KB (peak resident
# set) and RUN_STATUS. stdout goes to the file $1, stderr to $OUT/<name>.stderr.
RUN_SECONDS=0 RUN_RSS_KB=0 RUN_STATUS=0
measure() {
    local stdout_file=$1 name=$2
    shift 2
    local timefile=$OUT/$name.time t0 t1
    t0=$EPOCHREALTIME
    set +e
    /usr/bin/time -v -o "$timefile" "$@" >"$stdout_file" 2>"$OUT/$name.stderr"
    RUN_STATUS=$?
    set -e
    t1=$EPOCHREALTIME
    RUN_SECONDS=$(elapsed "$t0" "$t1")
    RUN_RSS_KB=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$timefile")
    RUN_RSS_KB=${RUN_RSS_KB:-0}
}

# Median and minimum of whitespace-separated numbers.
median() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) printf "%.4f", v[(NR + 1) / 2]; else printf "%.4f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
best() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -g | head -n 1; }
maximum() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -g | tail -n 1; }

write_ini() {
    # CR LF line ends, as the tool's own configuration files have them.
    printf '%s\r\n' \
        'dxfpath=big.dxf' \
        'txtpath=big.txt' \
        'masterkey=TEXT' \
        'trennzeich=;' \
        'dezzeich=,' \
        $BENCH_SETTINGS \
        '[Spalten]' \
        ' 10|1|RW' \
        ' 20|2|HW' \
        '  1|3|Text' \
        '' \
        '[Ende]' >"$OUT/velunt.ini"
}

# --- the big drawing ---------------------------------------------------------------------

BIG=$OUT/big.dxf
BIG_STATS=$OUT/big.dxf.stats

# Reuses big.dxf when it was written by the same generator source for the same size and
# still has the size the generator reported.
generate_big() {
    local want_id have_id="" t0 t1 seconds
    want_id="mb=$BENCH_MB generator=$(sha256sum "$BENCH/gen_drawing.cpp" | cut -c1-16)"
    [[ -f "$BIG_STATS" ]] && have_id=$(head -n 1 "$BIG_STATS")
    if [[ -f "$BIG" && "$have_id" == "$want_id" &&
        "$(file_size "$BIG")" == "$(stat_value "$BIG_STATS" bytes)" ]]; then
        echo "Drawing: reusing $BIG"
    else
        rm -f "$BIG" "$BIG_STATS"
        need_space $((BENCH_MB * 2 + 512))
        echo "Drawing: generating $BIG ($BENCH_MB MiB) ..."
        t0=$EPOCHREALTIME
        "$OUT/gen_drawing" big "$BIG" "$BENCH_MB" >"$BIG_STATS.tmp"
        t1=$EPOCHREALTIME
        seconds=$(elapsed "$t0" "$t1")
        { echo "$want_id"; cat "$BIG_STATS.tmp"; echo "generation_seconds=$seconds"; } >"$BIG_STATS"
        rm -f "$BIG_STATS.tmp"
        echo "Drawing: generated in $seconds s"
    fi
    local bytes lines objects texts
    bytes=$(stat_value "$BIG_STATS" bytes)
    lines=$(stat_value "$BIG_STATS" lines)
    objects=$(stat_value "$BIG_STATS" objects)
    texts=$(stat_value "$BIG_STATS" text_objects)
    awk -v b="$bytes" -v l="$lines" -v o="$objects" -v t="$texts" 'BEGIN {
        printf "Drawing: %d bytes (%.1f MiB), %d lines (%.2f bytes per line), %d objects, %d TEXT (%.1f %%)\n",
            b, b / 1048576, l, b / l, o, t, 100 * t / o }'
}

# --- modes -------------------------------------------------------------------------------

run_big() {
    generate_big
    write_ini
    local bytes lines texts
    bytes=$(stat_value "$BIG_STATS" bytes)
    lines=$(stat_value "$BIG_STATS" lines)
    texts=$(stat_value "$BIG_STATS" text_objects)

    local avail_kb
    avail_kb=$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo)
    if ((avail_kb * 1024 < bytes * 2)); then
        echo "bench: warning: little free memory; the drawing may not stay in the page cache" >&2
    fi
    need_space $((bytes / MIB / 4 + 256))

    local -a names=(wc ref mawk)
    [[ -n "$CLI" ]] && names+=(velunt)
    declare -A label=([wc]="wc -l" [ref]="reference scanner" [mawk]="mawk" [velunt]="velunt-cli")
    declare -A times=() rss=() failed=()

    echo "Page cache: reading the drawing once before timing"
    cat "$BIG" >/dev/null

    local round i n=${#names[@]} name
    for ((round = 1; round <= BENCH_ROUNDS; round++)); do
        echo "Round $round of $BENCH_ROUNDS"
        # Each round starts with another contender so none always runs first.
        for ((i = 0; i < n; i++)); do
            name=${names[(i + round - 1) % n]}
            case $name in
                wc) measure "$OUT/wc.out" wc wc -l "$BIG" ;;
                ref) measure "$OUT/ref.out" ref "$OUT/ref_scanner" "$BIG" ;;
                mawk) measure "$OUT/big.awk.txt" mawk mawk -f "$BENCH/extract_text.awk" "$BIG" ;;
                velunt)
                    rm -f "$OUT/big.txt"
                    measure "$OUT/velunt.out" velunt "$CLI" --ini "$OUT/velunt.ini" \
                        --dxf "$BIG" --txt "$OUT/big.txt"
                    ;;
            esac
            if ((RUN_STATUS != 0)); then
                failed[$name]=$RUN_STATUS
                echo "  ${label[$name]}: exit status $RUN_STATUS" >&2
                head -n 5 "$OUT/$name.stderr" >&2
            fi
            times[$name]+="$RUN_SECONDS "
            rss[$name]+="$RUN_RSS_KB "
            printf '  %-18s %8.3f s\n' "${label[$name]}" "$RUN_SECONDS"
        done
    done

    echo
    printf 'Results on %.1f MiB, %d rounds (median and best wall-clock time)\n' \
        "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')" "$BENCH_ROUNDS"
    printf '  %-18s %10s %10s %10s %12s\n' contender "median s" "best s" "MiB/s" "peak RSS"
    declare -A med=()
    for name in "${names[@]}"; do
        med[$name]=$(median "${times[$name]}")
        local peak_kb
        peak_kb=$(maximum "${rss[$name]}")
        awk -v l="${label[$name]}" -v m="${med[$name]}" -v b0="$(best "${times[$name]}")" \
            -v bytes="$bytes" -v kb="$peak_kb" -v f="${failed[$name]:-}" 'BEGIN {
            printf "  %-18s %10.3f %10.3f %10.1f %9.1f MiB%s\n", l, m, b0, bytes / 1048576 / m,
                kb / 1024, f != "" ? "  (FAILED, exit " f ")" : "" }'
    done

    # Line counts: every contender must have seen the same drawing.
    local status=0 wc_lines ref_lines
    wc_lines=$(awk '{ print $1 }' "$OUT/wc.out")
    ref_lines=$(cat "$OUT/ref.out")
    echo
    echo "Checks"
    printf '  lines in the drawing: generator %s, wc -l %s, reference scanner %s\n' \
        "$lines" "$wc_lines" "$ref_lines"
    if [[ "$wc_lines" != "$lines" || "$ref_lines" != "$lines" ]]; then
        echo "  MISMATCH in the line count of the drawing"
        status=1
    fi

    local awk_lines
    awk_lines=$(wc -l <"$OUT/big.awk.txt")
    if [[ -n "$CLI" ]]; then
        local cli_lines=missing
        [[ -f "$OUT/big.txt" ]] && cli_lines=$(wc -l <"$OUT/big.txt")
        printf '  table lines: velunt-cli %s, mawk %s, expected %s (header + %s TEXT objects)\n' \
            "$cli_lines" "$awk_lines" $((texts + 1)) "$texts"
        if [[ "$cli_lines" != "$awk_lines" || "$awk_lines" != $((texts + 1)) ]]; then
            echo "  MISMATCH in the number of table lines"
            status=1
        elif cmp -s "$OUT/big.txt" "$OUT/big.awk.txt"; then
            echo "  tables of velunt-cli and mawk: byte for byte identical"
        else
            echo "  tables of velunt-cli and mawk differ in content; first difference:"
            cmp "$OUT/big.txt" "$OUT/big.awk.txt" | head -n 1 | sed 's/^/    /'
        fi
    else
        printf '  table lines: mawk %s, expected %s (header + %s TEXT objects)\n' \
            "$awk_lines" $((texts + 1)) "$texts"
        [[ "$awk_lines" == $((texts + 1)) ]] || { echo "  MISMATCH in the number of table lines"; status=1; }
    fi
    ((${#failed[@]} == 0)) || status=1

    if [[ -n "$CLI" && -z "${failed[velunt]:-}" ]]; then
        local cli_peak_kb
        cli_peak_kb=$(maximum "${rss[velunt]}")
        echo
        echo "velunt-cli against the targets (medians)"
        awk -v v="${med[velunt]}" -v r="${med[ref]}" -v m="${med[mawk]}" -v kb="$cli_peak_kb" 'BEGIN {
            printf "  time / reference scanner: %6.2f x   (target <= 1.00)  %s\n", v / r, (v / r <= 1.0 ? "met" : "NOT MET")
            printf "  mawk / time (speed-up):   %6.1f x   (target >= 15)    %s\n", m / v, (m / v >= 15 ? "met" : "NOT MET")
            printf "  peak RSS:                 %6.1f MiB (target < 16)    %s\n", kb / 1024, (kb < 16 * 1024 ? "met" : "NOT MET")
        }'
    else
        echo
        echo "velunt-cli was not measured; no target verdicts."
    fi
    return $status
}

run_longline() {
    write_ini
    local dxf=$OUT/longline.dxf txt=$OUT/longline.txt stats=$OUT/longline.dxf.stats
    need_space $((LONGLINE_MB * 2 + 256))
    echo "Drawing: generating $dxf with one line of $LONGLINE_MB MiB ..."
    local t0 t1
    t0=$EPOCHREALTIME
    "$OUT/gen_drawing" longline "$dxf" "$LONGLINE_MB" >"$stats"
    t1=$EPOCHREALTIME
    local texts
    texts=$(stat_value "$stats" text_objects)
    echo "Drawing: $(file_size "$dxf") bytes, $texts TEXT objects, generated in $(elapsed "$t0" "$t1") s"
    cat "$dxf" >/dev/null

    local status=0
    rm -f "$txt"
    measure "$OUT/velunt.out" velunt-longline "$CLI" --ini "$OUT/velunt.ini" --dxf "$dxf" --txt "$txt"
    local txt_lines=missing txt_bytes=0
    [[ -f "$txt" ]] && txt_lines=$(wc -l <"$txt") && txt_bytes=$(file_size "$txt")
    echo
    echo "velunt-cli on the long line"
    awk -v s="$RUN_SECONDS" -v kb="$RUN_RSS_KB" -v mb="$LONGLINE_MB" 'BEGIN {
        printf "  time %.3f s, peak RSS %.1f MiB (%.2f x the %d MiB line)\n", s, kb / 1024, kb / 1024 / mb, mb }'
    printf '  table: %s lines (expected %s), %s bytes\n' "$txt_lines" $((texts + 1)) "$txt_bytes"
    if ((RUN_STATUS != 0)); then
        echo "  FAILED with exit status $RUN_STATUS:"
        head -n 5 "$OUT/velunt-longline.stderr" | sed 's/^/    /'
        status=1
    elif [[ "$txt_lines" != $((texts + 1)) ]]; then
        echo "  MISMATCH in the number of table lines"
        status=1
    fi

    if [[ "$BENCH_KEEP" != 1 ]]; then
        rm -f "$dxf" "$txt" "$stats"
        echo "  (deleted $dxf and its table; BENCH_KEEP=1 keeps them)"
    fi
    return $status
}

case "$MODE" in
    gen) generate_big ;;
    big) run_big ;;
    longline)
        [[ -n "$CLI" ]] || die "the longline run measures velunt-cli only; unset BENCH_NO_CLI"
        run_longline
        ;;
esac
