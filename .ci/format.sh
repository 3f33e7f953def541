#!/usr/bin/env bash
# CI stage: every C and C++ source is formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null && [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang-format >/dev/null
fi
git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror
echo "format: every source is formatted"
