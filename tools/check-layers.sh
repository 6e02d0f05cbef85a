#!/usr/bin/env bash
# Fails when a folder of src/ includes a folder it must not see. The folders depend one way:
#   core <- platform <- watchlist <- services <- ui <- app
# (demo and the chart viewer program sit beside them on core and platform), core includes no
# Qt header at all, and nothing but app/ and the main window itself includes the main window's
# header: no other window or feature reaches into it.
# Usage: tools/check-layers.sh [source root]   (default: the src/ folder next to this script)
set -euo pipefail
src="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/src}"

allowed() {
    case "$1" in
        core) echo "core" ;;
        platform) echo "core platform" ;;
        watchlist) echo "core platform watchlist" ;;
        services) echo "core platform watchlist services" ;;
        ui) echo "core platform watchlist services ui" ;;
        demo) echo "core platform demo" ;;
        chartviewer) echo "core platform chartviewer" ;;
        app) echo "core platform watchlist services ui demo app" ;;
        *) echo "" ;;
    esac
}

status=0
complain() {
    echo "check-layers: $*" >&2
    status=1
}

for dir in "$src"/*/; do
    folder="$(basename "$dir")"
    permitted="$(allowed "$folder")"
    if [ -z "$permitted" ]; then
        complain "src/$folder is no known layer; add it to tools/check-layers.sh"
        continue
    fi
    while IFS= read -r -d '' file; do
        relative="${file#"$src"/}"
        while IFS= read -r included; do
            target="${included%%/*}"
            [ "$target" = "$included" ] && continue # a header beside it
            if [[ " $permitted " != *" $target "* ]]; then
                complain "$relative includes \"$included\": $folder may only include $permitted"
            fi
            if [ "$included" = "ui/mainwindow.h" ] && [ "$folder" != app ] &&
                [[ "$(basename "$file")" != mainwindow.* ]]; then
                complain "$relative includes the main window; only app/ may"
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
        if [ "$folder" = core ] && grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file"; then
            complain "$relative includes a Qt header; core is plain C++"
        fi
    done < <(find "$dir" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
done

if [ "$status" -eq 0 ]; then
    echo "check-layers: every folder of $src includes only the folders it may"
fi
exit "$status"
