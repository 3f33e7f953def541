#!/usr/bin/env bash
# Throughput and memory figures for velunt-cli on a large synthetic drawing.
#
#   bench/run.sh            build what is missing, generate bench/out/big.dxf and its unpadded
#                           twin bench/out/unpadded.dxf (or reuse them), time wc -l, the C
#                           reference scanner, mawk and velunt-cli in four workloads in
#                           interleaved rounds, and print the figures
#   bench/run.sh gen        only build the helpers and generate bench/out/big.dxf
#   bench/run.sh longline   peak memory of velunt-cli on a drawing whose one TEXT value is a
#                           single line of LONGLINE_MB MiB (the drawing is deleted afterwards)
#   bench/run.sh many       many small drawings in one batch (bench/many.sh, which says more)
#
# Environment:
#   VELUNT_CLI     velunt-cli binary to measure; unset: build it in build-release/ (Release)
#   BENCH_MB       size of big.dxf in MiB (default 1024)
#   BENCH_ROUNDS   rounds, each running every contender once (default 5)
#   BENCH_UNPADDED 0: leave out the drawing with unpadded group codes and LF line ends
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
BENCH_ROUNDS=${BENCH_ROUNDS:-5}
BENCH_UNPADDED=${BENCH_UNPADDED:-1}
LONGLINE_MB=${LONGLINE_MB:-500}
BENCH_NO_CLI=${BENCH_NO_CLI:-0}
BENCH_KEEP=${BENCH_KEEP:-0}
BENCH_SETTINGS=${BENCH_SETTINGS:-}
MIB=1048576

die() { echo "bench: $*" >&2; exit 1; }

case "$MODE" in
    big | gen | longline) ;;
    many) exec "$BENCH/many.sh" ;;
    -h | --help | help)
        sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *) die "unknown mode '$MODE' (big, gen, longline or many)" ;;
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

# The drawing generator is gen_drawing.cpp and the writer it includes; the id below hashes both.
GENERATOR_SOURCES=("$BENCH/gen_drawing.cpp" "$BENCH/dxf_writer.h")
if [[ "$BENCH/dxf_writer.h" -nt "$OUT/gen_drawing" ]]; then rm -f "$OUT/gen_drawing"; fi
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
    # Eight columns; the drawing's TEXT objects have no "  7" (text style), so after
    # their layer every line of each object is looked at.
    printf '%s\r\n' \
        'dxfpath=big.dxf' \
        'txtpath=big8.txt' \
        'masterkey=TEXT' \
        'trennzeich=;' \
        'dezzeich=,' \
        '[Spalten]' \
        '  8|1|Layer' \
        ' 10|2|RW' \
        ' 20|3|HW' \
        ' 30|4|Z' \
        '  7|5|Stil' \
        ' 40|6|Hoehe' \
        '  1|7|Text' \
        ' 50|8|Winkel' \
        '' \
        '[Ende]' >"$OUT/velunt8.ini"
}

# --- the big drawing ---------------------------------------------------------------------

BIG=$OUT/big.dxf
BIG_STATS=$OUT/big.dxf.stats
# The same objects with unpadded group codes ("0", "10") and LF line ends.
UNPADDED=$OUT/unpadded.dxf
UNPADDED_STATS=$OUT/unpadded.dxf.stats

# Reuses a drawing when it was written by the same generator source in the same mode for
# the same size and still has the size the generator reported.
#   generate_drawing MODE FILE
generate_drawing() {
    local mode=$1 file=$2 stats=$2.stats want_id have_id="" t0 t1 seconds
    want_id="mb=$BENCH_MB generator=$(cat "${GENERATOR_SOURCES[@]}" | sha256sum | cut -c1-16)"
    [[ "$mode" == big ]] || want_id="$want_id mode=$mode"
    [[ -f "$stats" ]] && have_id=$(head -n 1 "$stats")
    if [[ -f "$file" && "$have_id" == "$want_id" &&
        "$(file_size "$file")" == "$(stat_value "$stats" bytes)" ]]; then
        echo "Drawing: reusing $file"
    else
        rm -f "$file" "$stats"
        need_space $((BENCH_MB * 2 + 512))
        echo "Drawing: generating $file ($mode, $BENCH_MB MiB of objects) ..."
        t0=$EPOCHREALTIME
        "$OUT/gen_drawing" "$mode" "$file" "$BENCH_MB" >"$stats.tmp"
        t1=$EPOCHREALTIME
        seconds=$(elapsed "$t0" "$t1")
        { echo "$want_id"; cat "$stats.tmp"; echo "generation_seconds=$seconds"; } >"$stats"
        rm -f "$stats.tmp"
        echo "Drawing: generated in $seconds s"
    fi
    local bytes lines objects texts
    bytes=$(stat_value "$stats" bytes)
    lines=$(stat_value "$stats" lines)
    objects=$(stat_value "$stats" objects)
    texts=$(stat_value "$stats" text_objects)
    awk -v b="$bytes" -v l="$lines" -v o="$objects" -v t="$texts" 'BEGIN {
        printf "Drawing: %d bytes (%.1f MiB), %d lines (%.2f bytes per line), %d objects, %d TEXT (%.1f %%)\n",
            b, b / 1048576, l, b / l, o, t, 100 * t / o }'
}

generate_big() { generate_drawing big "$BIG"; }

# Prints "label: median ratio [min, max] (target <= T) met" for contender $2 against $3,
# from the times of the rounds (run_big's arrays, in round order).
ratio_line() {
    local what=$1 name=$2 base=$3 target=$4
    if [[ -n "${failed[$name]:-}" || -n "${failed[$base]:-}" ]]; then
        printf '  %-24s failed\n' "$what:"
        return
    fi
    awk -v what="$what:" -v n="${times[$name]}" -v b="${times[$base]}" -v t="$target" \
        -v mn="${med[$name]}" -v mb="${med[$base]}" 'BEGIN {
        k = split(n, a, " "); split(b, c, " ")
        lo = 1e9; hi = 0
        for (i = 1; i <= k; i++) { r = a[i] / c[i]; if (r < lo) lo = r; if (r > hi) hi = r }
        printf "  %-24s %6.2f x [%.2f, %.2f] (target <= %.2f) %s\n", what, mn / mb, lo, hi, t,
            (mn / mb <= t ? "met" : "NOT MET") }'
}

# --- modes -------------------------------------------------------------------------------

run_big() {
    generate_big
    [[ "$BENCH_UNPADDED" == 1 ]] && generate_drawing unpadded "$UNPADDED"
    write_ini
    local bytes lines texts unpadded_bytes=0
    bytes=$(stat_value "$BIG_STATS" bytes)
    lines=$(stat_value "$BIG_STATS" lines)
    texts=$(stat_value "$BIG_STATS" text_objects)
    [[ "$BENCH_UNPADDED" == 1 ]] && unpadded_bytes=$(stat_value "$UNPADDED_STATS" bytes)

    local avail_kb
    avail_kb=$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo)
    if ((avail_kb * 1024 < (bytes + unpadded_bytes) * 2)); then
        echo "bench: warning: little free memory; the drawing may not stay in the page cache" >&2
    fi
    need_space $((bytes / MIB / 4 + 256))

    # The workloads of velunt-cli: velunt (3 columns), velunt8 (8 columns, one of them
    # absent from the objects), shift (3 columns, --shift --replace-decimal-point), and
    # on the unpadded drawing refu (the reference scanner) and veluntu (3 columns).
    local -a names=(wc ref mawk)
    [[ -n "$CLI" ]] && names+=(velunt velunt8 shift)
    if [[ "$BENCH_UNPADDED" == 1 ]]; then
        names+=(refu)
        [[ -n "$CLI" ]] && names+=(veluntu)
    fi
    declare -A label=([wc]="wc -l" [ref]="reference scanner" [mawk]="mawk" [velunt]="velunt-cli"
        [velunt8]="velunt-cli 8 col" [shift]="velunt-cli shift" [refu]="ref. scanner unp."
        [veluntu]="velunt-cli unp.")
    declare -A size=()
    for name in "${names[@]}"; do size[$name]=$bytes; done
    size[refu]=$unpadded_bytes size[veluntu]=$unpadded_bytes
    declare -A times=() rss=() failed=()

    echo "Page cache: reading the drawings once before timing"
    cat "$BIG" >/dev/null
    [[ "$BENCH_UNPADDED" == 1 ]] && cat "$UNPADDED" >/dev/null

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
                velunt8)
                    rm -f "$OUT/big8.txt"
                    measure "$OUT/velunt8.out" velunt8 "$CLI" --ini "$OUT/velunt8.ini" \
                        --dxf "$BIG" --txt "$OUT/big8.txt"
                    ;;
                shift)
                    rm -f "$OUT/big.shift.txt"
                    measure "$OUT/shift.out" shift "$CLI" --ini "$OUT/velunt.ini" \
                        --dxf "$BIG" --txt "$OUT/big.shift.txt" --shift --replace-decimal-point
                    ;;
                refu) measure "$OUT/refu.out" refu "$OUT/ref_scanner" "$UNPADDED" ;;
                veluntu)
                    rm -f "$OUT/unpadded.txt"
                    measure "$OUT/veluntu.out" veluntu "$CLI" --ini "$OUT/velunt.ini" \
                        --dxf "$UNPADDED" --txt "$OUT/unpadded.txt"
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
    [[ "$BENCH_UNPADDED" == 1 ]] &&
        printf '  (the unpadded contenders on %.1f MiB)\n' "$(awk -v b="$unpadded_bytes" 'BEGIN { print b / 1048576 }')"
    printf '  %-18s %10s %10s %10s %12s\n' contender "median s" "best s" "MiB/s" "peak RSS"
    declare -A med=()
    for name in "${names[@]}"; do
        med[$name]=$(median "${times[$name]}")
        local peak_kb
        peak_kb=$(maximum "${rss[$name]}")
        awk -v l="${label[$name]}" -v m="${med[$name]}" -v b0="$(best "${times[$name]}")" \
            -v bytes="${size[$name]}" -v kb="$peak_kb" -v f="${failed[$name]:-}" 'BEGIN {
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
    if [[ -n "$CLI" ]]; then
        # The other workloads: one line per TEXT object, and the unpadded drawing gives the
        # very table of the standard one.
        local table expected_lines=$((texts + 1)) got
        for table in big8.txt big.shift.txt; do
            got=missing
            [[ -f "$OUT/$table" ]] && got=$(wc -l <"$OUT/$table")
            printf '  table lines of %s: %s, expected %s\n' "$table" "$got" "$expected_lines"
            [[ "$got" == "$expected_lines" ]] || { echo "  MISMATCH in the number of table lines"; status=1; }
        done
    fi
    if [[ "$BENCH_UNPADDED" == 1 ]]; then
        local unpadded_lines refu_lines
        unpadded_lines=$(stat_value "$UNPADDED_STATS" lines)
        refu_lines=$(cat "$OUT/refu.out")
        printf '  lines in the unpadded drawing: generator %s, reference scanner %s\n' \
            "$unpadded_lines" "$refu_lines"
        [[ "$unpadded_lines" == "$refu_lines" ]] || { echo "  MISMATCH in the line count of the unpadded drawing"; status=1; }
        if [[ -n "$CLI" ]]; then
            if cmp -s "$OUT/unpadded.txt" "$OUT/big.txt"; then
                echo "  tables of the unpadded and the standard drawing: byte for byte identical"
            else
                echo "  MISMATCH: the unpadded drawing gives another table than the standard one"
                status=1
            fi
        fi
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
        echo
        echo "Workloads against the reference scanner on the same drawing (ratio of the medians;"
        echo "in brackets the lowest and highest ratio of one round, the machine's noise)"
        ratio_line "3 columns" velunt ref 0.45
        ratio_line "8 columns, one absent" velunt8 ref 0.6
        ratio_line "3 columns, shift + mark" shift ref 0.6
        [[ "$BENCH_UNPADDED" == 1 ]] && ratio_line "unpadded codes, LF" veluntu refu 1.0
        local workload all_rss=""
        for workload in velunt velunt8 shift veluntu; do all_rss+="${rss[$workload]:-} "; done
        awk -v kb="$(maximum "$all_rss")" 'BEGIN {
            printf "  %-24s %6.1f MiB          (target < 16)    %s\n", "peak RSS, all workloads:", kb / 1024, (kb < 16 * 1024 ? "met" : "NOT MET") }'
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
