#!/usr/bin/env bash
# The layering check passes on the tree as it is and fails on each wrong include planted in a copy of it.
set -uo pipefail
source_dir=$1
check="$source_dir/scripts/check-layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
if ! "$check" "$source_dir" >/dev/null 2>&1; then
    echo "FAIL: the tree itself does not pass"
    failed=1
fi

# file to plant in | include line | what it breaks
cases=(
    "platform/Paths.h|#include \"engine/util/Md5.h\"|platform includes engine"
    "platform/Clock.cpp|#include \"service/Worker.h\"|platform includes service"
    "engine/util/Md5.cpp|#include \"engine/backup/Backup.h\"|engine folder includes a higher one"
    "engine/tasks/TaskInfo.h|#include <QWidget>|engine includes Qt"
    "engine/files/FileOperator.h|#include \"gui/app/MainWindow.h\"|engine includes gui"
    "engine/archive/ZipOperator.h|  #  include \"service/RunQueue.h\"|engine includes service, spaced"
    "service/Worker.cpp|#include \"gui/shell/Prompter.h\"|service includes gui"
    "gui/widgets/ColorRef.cpp|#include \"engine/util/Md5.h\"|the widget library includes the engine"
    "gui/widgets/ColorRef.h|#include \"gui/shell/Prompter.h\"|the widget library includes the shell"
    "gui/shell/Prompter.cpp|#include \"gui/pages/TaskPage.h\"|the shell includes the pages"
    "gui/restore/RestoreBox.cpp|#include \"gui/pages/PageControls.h\"|a restore includes the pages"
    "gui/pages/TaskPage.cpp|#include \"gui/app/MainWindow.h\"|the pages include the program's room"
)
for row in "${cases[@]}"; do
    IFS='|' read -r file line what <<<"$row"
    rm -rf "$work/tree"
    mkdir -p "$work/tree"
    cp -r "$source_dir/platform" "$source_dir/engine" "$source_dir/service" "$source_dir/gui" "$work/tree/"
    echo "$line" >>"$work/tree/$file"
    if "$check" "$work/tree" >"$work/out" 2>&1; then
        echo "FAIL: not caught: $what"
        failed=1
    elif ! grep -q "$file" "$work/out"; then
        echo "FAIL: the report does not name $file: $(cat "$work/out")"
        failed=1
    fi
done
[ "$failed" -eq 0 ] && echo "layering check: ${#cases[@]} planted includes caught, the tree passes"
exit "$failed"
