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

function rank_of(name) { return (name in rank) ? rank[name] : -1 }

function gui_rank_of(name) { return (name in gui_rank) ? gui_rank[name] : -1 }

function check(file, line, include,    layer, folder, target, to, from_rank, to_rank) {
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
        to = component(target, 2)
        from_rank = gui_rank_of(folder)
        to_rank = gui_rank_of(to)
        if (to_rank < 0 || from_rank < 0)
            report(file ":" line ": gui folder not in the floor order (" folder " -> " to ")")
        else if (to_rank > from_rank)
            report(file ":" line ": gui/" folder " includes the higher gui/" to)
    } else if (layer == "engine" && target ~ /^engine\//) {
        to = component(target, 2)
        from_rank = rank_of(folder)
        to_rank = rank_of(to)
        if (to_rank < 0 || from_rank < 0)
            report(file ":" line ": engine folder not in the layer order (" folder " -> " to ")")
        else if (to_rank > from_rank)
            report(file ":" line ": engine/" folder " includes the higher engine/" to)
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
