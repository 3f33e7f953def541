#!/usr/bin/env bash
# CI stage: builds the libFuzzer targets with Clang (build-fuzz/) and runs each
# for a bounded time, seeded with the examples and the sample drawings. Fails
# when a target crashes, hangs, leaks, breaks an invariant or trips a
# sanitizer. Skipped, with a message, when Clang cannot be had.
#
#   FUZZ_SECONDS   time per target (default 60)
#   FUZZ_TARGETS   targets to run (default: all five)
#   SAMPLES_DIR    sample drawings for the seeds (default ../shared/samples)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
FUZZ_TARGETS=${FUZZ_TARGETS:-"config_loader extraction_run line_reader ini_and_run file_faults"}
SAMPLES_DIR=${SAMPLES_DIR:-$ROOT/../shared/samples}

# clang and its libFuzzer/sanitizer runtimes; installed when missing and run
# as root.
if ! command -v clang++ >/dev/null || ! dpkg -s libclang-rt-14-dev >/dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
            clang libclang-rt-14-dev >/dev/null || echo "fuzz: could not install clang" >&2
    fi
fi
if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ not available; fuzzing skipped" >&2
    exit 0
fi

# Every warning is an error here as in the main build.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS=-Werror -DVELUNT_FUZZ=ON -DVELUNT_BUILD_UI=OFF -DVELUNT_BUILD_TESTS=OFF
cmake --build build-fuzz -j2 --target $(printf "fuzz_%s " $FUZZ_TARGETS)

# Seeds. Drawings get the option bytes the targets read first: the run target
# four (%%c, counter and TEXT; then "," and ";"; default shifts, blocks of
# 832 bytes), the line reader two (block size; plain reading or skipping to
# object starts and keys); the combined target the example velunt.ini and a
# separator first, the fault target three bytes choosing a failing write.
# Nothing of the samples is copied into the project.
SEEDS=build-fuzz/seeds
rm -rf "$SEEDS"
for target in config_loader extraction_run line_reader ini_and_run file_faults; do
    mkdir -p "$SEEDS/$target"
done
cp examples/*.ini fuzz/seeds/config/*.ini "$SEEDS/config_loader/"
drawings=(examples/*.dxf)
if [ -d "$SAMPLES_DIR" ]; then
    drawings+=("$SAMPLES_DIR"/*.dxf)
else
    echo "fuzz: $SAMPLES_DIR not found; seeding with the examples only" >&2
fi
for drawing in "${drawings[@]}"; do
    name=$(basename "$drawing")
    { printf '\x09\x10\xF0\x71'; cat "$drawing"; } >"$SEEDS/extraction_run/$name"
    { cat examples/velunt.ini; printf '\x1e\x09\x10\xF0\x71'; cat "$drawing"; } \
        >"$SEEDS/ini_and_run/$name"
    { printf '\x05\x00\x00\x09\x10\xF0\x71'; cat "$drawing"; } >"$SEEDS/file_faults/$name"
    { printf '\x45\x00'; cat "$drawing"; } >"$SEEDS/line_reader/$name"
    { printf '\x07\x47'; cat "$drawing"; } >"$SEEDS/line_reader/skipping_$name"
done
# Every stored regression input seeds its target as well.
for target in $FUZZ_TARGETS; do
    if [ -d "fuzz/regressions/$target" ]; then
        cp fuzz/regressions/"$target"/* "$SEEDS/$target/" 2>/dev/null || true
    fi
done

# Input files go to a memory file system when there is one: runs are dominated
# by opening and reading small files.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

status=0
for target in $FUZZ_TARGETS; do
    corpus=build-fuzz/corpus/$target
    artifacts=build-fuzz/artifacts/$target/
    mkdir -p "$corpus" "$artifacts"
    echo "== fuzz_$target for ${FUZZ_SECONDS}s"
    # Samples run to several MB; inputs are capped so that the time goes into
    # many runs rather than a few huge ones (longer inputs are cut, which
    # yields truncated drawings as well). The line reader meets every block
    # boundary with small blocks already, and checks each line, so its
    # inputs are kept smaller.
    max_len=65536
    if [ "$target" = line_reader ]; then max_len=8192; fi
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "build-fuzz/fuzz/fuzz_$target" "$corpus" "$SEEDS/$target" \
        -max_total_time="$FUZZ_SECONDS" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$artifacts" -print_final_stats=1 2>"build-fuzz/fuzz_$target.log"; then
        status=1
        echo "fuzz: fuzz_$target failed; the input is in $artifacts" >&2
        ls -l "$artifacts" >&2
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' \
        "build-fuzz/fuzz_$target.log" || true
    if [ "$status" -ne 0 ]; then tail -60 "build-fuzz/fuzz_$target.log" >&2; fi
done
exit "$status"
