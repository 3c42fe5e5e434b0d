#!/usr/bin/env bash
# Fails when an include crosses the layers: platform/ includes nothing of engine/, service/ or gui/;
# engine/ includes nothing of service/ or gui/; neither includes Qt; an engine folder includes only
# itself and the folders below it; service/ and gui/ never include each other; gui/widgets/ includes
# only Qt and itself; a gui folder includes only itself and the floors below it (widgets, shell,
# restore, pages, app). Usage: check-layers.sh [root folder] (default: the checkout).
# One awk reads every source once (awk is part of every Debian system).
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

find platform engine $(ls -d service gui 2>/dev/null) -type f \( -name '*.cpp' -o -name '*.h' \) -print |
awk '
BEGIN {
    # The engine folders, lowest first.
    split("util settings jobs logs filter tasks files archive mysql mssql backup restore control", order, " ")
    for (i in order) rank[order[i]] = i - 1
    # The floors of the management program, lowest first.
    split("widgets shell restore pages app", gui_order, " ")
    for (i in gui_order) gui_rank[gui_order[i]] = i - 1
    failures = 0
}

function report(text) {
    print "layering: " text > "/dev/stderr"
    failures++
}

function component(path, n,    parts) {
    split(path, parts, "/")
    return (n in parts) ? parts[n] : ""
}

# A folder of kind (engine, gui) includes only its own floor and those below it in ranks.
function check_floor(file, line, kind, folder, to, ranks) {
    if (!(folder in ranks) || !(to in ranks))
        report(file ":" line ": " kind " folder not in the floor order (" folder " -> " to ")")
    else if (ranks[to] > ranks[folder])
        report(file ":" line ": " kind "/" folder " includes the higher " kind "/" to)
}

function check(file, line, include,    layer, folder, target) {
    layer = component(file, 1)
    folder = component(file, 2)
    if (((layer == "platform" || layer == "engine") && include ~ /^<(Q|qt)/) || include ~ /^"Q/)
        report(file ":" line " includes Qt (" include ")")
    target = include
    gsub(/[<>"]/, "", target)
    if ((layer == "platform" && target ~ /^(engine|service|gui)\//) ||
        (layer == "engine" && target ~ /^(service|gui)\//) ||
        (layer == "service" && target ~ /^gui\//) || (layer == "gui" && target ~ /^service\//)) {
        report(file ":" line " includes " target)
    } else if (layer == "gui" && folder == "widgets" && target ~ /^(engine|platform)\//) {
        report(file ":" line ": gui/widgets includes " target)
    } else if (layer == "gui" && target ~ /^gui\//) {
        check_floor(file, line, "gui", folder, component(target, 2), gui_rank)
    } else if (layer == "engine" && target ~ /^engine\//) {
        check_floor(file, line, "engine", folder, component(target, 2), rank)
    }
}

{
    file = $0
    line = 0
    while ((getline text < file) > 0) {
        line++
        if (match(text, /^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"][^>"]*[>"]/)) {
            directive = substr(text, RSTART, RLENGTH)
            check(file, line, substr(directive, match(directive, /[<"]/)))
        }
    }
    close(file)
}

END {
    if (failures > 0) {
        print "layering: " failures " include(s) cross the layers" > "/dev/stderr"
        exit 1
    }
    print "layering: every include keeps to its layer"
}'
