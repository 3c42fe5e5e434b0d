#!/usr/bin/env bash
# Fails when an include crosses the layers: platform/ includes nothing of engine/, service/ or gui/;
# engine/ includes nothing of service/ or gui/; neither includes Qt; an engine folder includes only
# itself and the folders below it; service/ and gui/ never include each other; gui/widgets/ includes
# only Qt and itself. Usage: check-layers.sh [root folder] (default: the checkout).
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

# The engine's folders, lowest first.
engine_order=(util settings jobs logs filter tasks files archive mysql mssql backup restore control)

rank_of() {
    local i
    for i in "${!engine_order[@]}"; do
        [ "${engine_order[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}

failures=0
report() {
    echo "layering: $1" >&2
    failures=$((failures + 1))
}

while IFS= read -r -d '' file; do
    layer=${file%%/*}
    folder=$(echo "$file" | cut -d/ -f2)
    while IFS=: read -r line include; do
        case "$layer/$include" in
            platform/\<Q*|platform/\<qt*|engine/\<Q*|engine/\<qt*|*/\"Q*)
                report "$file:$line includes Qt ($include)" ;;
        esac
        target=${include//[\"<>]/}
        case "$layer/$target" in
            platform/engine/*|platform/service/*|platform/gui/*|engine/service/*|engine/gui/*|service/gui/*|gui/service/*)
                report "$file:$line includes $target" ;;
            gui/engine/*|gui/platform/*|gui/gui/shell/*|gui/gui/pages/*|gui/gui/restore/*)
                [ "$folder" = widgets ] && report "$file:$line: gui/widgets includes $target" ;;
            engine/engine/*)
                to=$(echo "$target" | cut -d/ -f2)
                from_rank=$(rank_of "$folder")
                to_rank=$(rank_of "$to")
                if [ "$to_rank" -lt 0 ] || [ "$from_rank" -lt 0 ]; then
                    report "$file:$line: engine folder not in the layer order ($folder -> $to)"
                elif [ "$to_rank" -gt "$from_rank" ]; then
                    report "$file:$line: engine/$folder includes the higher engine/$to"
                fi ;;
        esac
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file" |
             sed -E 's/^([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*([<"][^>"]*[>"]).*/\1:\2/')
done < <(find platform engine $(ls -d service gui 2>/dev/null) -type f \( -name '*.cpp' -o -name '*.h' \) -print0)

if [ "$failures" -gt 0 ]; then
    echo "layering: $failures include(s) cross the layers" >&2
    exit 1
fi
echo "layering: every include keeps to its layer"
