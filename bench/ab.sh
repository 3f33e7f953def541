#!/usr/bin/env bash
# Same-run A/B of velunt-cli builds on one bench workload: each round runs every build once,
# starting with a different one; prints each build's median wall-clock and CPU (user +
# system) time, its ratio to the first build's, and whether its table equals the first's.
#
#   bench/ab.sh ROUNDS WORKLOAD NAME=BINARY ...
#
# WORKLOAD: velunt (3 columns), velunt8 (8 columns), shift (3 columns with --shift
# --replace-decimal-point) or veluntu (3 columns on unpadded.dxf). Needs the drawings and
# ini files that bench/run.sh writes to bench/out/ (run it once), and GNU time.
set -euo pipefail
cd "$(dirname "$0")/out"
(($# >= 3)) || { sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
rounds=$1 workload=$2
shift 2
names=() bins=()
for a in "$@"; do names+=("${a%%=*}") bins+=("${a#*=}"); done
case $workload in
    velunt) args=(--ini velunt.ini --dxf big.dxf) ;;
    velunt8) args=(--ini velunt8.ini --dxf big.dxf) ;;
    shift) args=(--ini velunt.ini --dxf big.dxf --shift --replace-decimal-point) ;;
    veluntu) args=(--ini velunt.ini --dxf unpadded.dxf) ;;
    *) echo "ab: unknown workload $workload" >&2; exit 2 ;;
esac
n=${#names[@]}
declare -a wall cpu
for ((r = 0; r < rounds; r++)); do
    for ((k = 0; k < n; k++)); do
        i=$(((k + r) % n))
        out=ab.${names[$i]}.$workload.txt
        rm -f "$out"
        start=$EPOCHREALTIME
        /usr/bin/time -f "%U %S" -o ab.cpu "${bins[$i]}" "${args[@]}" --txt "$out" >/dev/null 2>&1 ||
            echo "ab: ${names[$i]} failed" >&2
        end=$EPOCHREALTIME
        wall[$i]+="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }') "
        cpu[$i]+="$(awk '{ print $1 + $2 }' ab.cpu) "
    done
done
median() { tr ' ' '\n' | grep . | sort -g | awk '{ a[NR] = $1 } END { print (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) }'; }
for ((i = 0; i < n; i++)); do
    w=$(median <<<"${wall[$i]}") c=$(median <<<"${cpu[$i]}")
    ((i == 0)) && w0=$w c0=$c
    same=same
    cmp -s "ab.${names[0]}.$workload.txt" "ab.${names[$i]}.$workload.txt" || same=DIFFERENT
    awk -v wl="$workload" -v nm="${names[$i]}" -v w="$w" -v c="$c" -v w0="$w0" -v c0="$c0" -v s="$same" \
        'BEGIN { printf "%-8s %-10s wall %.3f s (%.3f)  cpu %.2f s (%.3f)  table %s\n", wl, nm, w, w / w0, c, c / c0, s }'
done
