#!/usr/bin/env bash
# CI stage: each folder includes only from itself and the folders below it,
# and the core includes no Qt. Prints every include that breaks the order.
set -euo pipefail
cd "$(dirname "$0")/.."

allowed() {
    case $1 in
        base) echo "base" ;;
        lines) echo "base lines" ;;
        config) echo "base lines config" ;;
        engine) echo "base lines config engine" ;;
        ui) echo "base lines config engine ui" ;;
        cli) echo "base lines config engine cli" ;;
        app) echo "base lines config engine ui app" ;;
    esac
}

status=0
for folder in base lines config engine ui cli app; do
    ok=$(allowed "$folder")
    while IFS=: read -r file line include; do
        target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$include")
        if [[ " $ok " != *" $target "* ]]; then
            echo "$file:$line: $folder/ may not include from $target/" >&2
            status=1
        fi
    done < <(grep -Hn '^#include "[a-z_]*/' "$folder"/*.h "$folder"/*.cpp 2>/dev/null || true)
    case $folder in
        base | lines | config | engine)
            if grep -Hn '^#include <Q' "$folder"/*.h "$folder"/*.cpp; then
                echo "$folder/ is part of the core and may not include Qt" >&2
                status=1
            fi
            ;;
    esac
done
[[ $status -eq 0 ]] && echo "layers: every include goes downward"
exit $status
