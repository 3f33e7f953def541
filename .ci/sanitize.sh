#!/usr/bin/env bash
# CI stage: the core, velunt-cli and their tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-sanitize/), and the whole test suite run there.
# Fails when a test fails or when any process, also a velunt-cli started by a
# test, wrote a sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    # GCC's sanitizer runtimes; build-essential does not always pull them in.
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        build-essential cmake libgtest-dev libasan8 libubsan1 >/dev/null
fi

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELUNT_SANITIZE=ON \
    -DVELUNT_BUILD_UI=OFF
cmake --build build-sanitize -j2

# Reports go to files as well as failing the process, so that a report from a
# child process whose exit status a test does not look at is still seen.
reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:log_path=$reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:abort_on_error=1:log_path=$reports/ubsan"

status=0
ctest --test-dir build-sanitize --output-on-failure -j2 || status=$?

if compgen -G "$reports/*" >/dev/null; then
    echo "sanitize: sanitizer reports:" >&2
    for report in "$reports"/*; do
        echo "---- $report" >&2
        cat "$report" >&2
    done
    status=1
fi
exit "$status"
