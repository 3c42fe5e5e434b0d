#!/usr/bin/env bash
# Backs up one tree of 20,000 files (1 GiB) with a copy task and a compressed task through CBackup, and
# times `cp -a`, `tar -cf - | gzip -1` and the stand-in archiver alone on the same tree in the same run.
# Usage: bench/file_backup.sh [build folder]   (ZOV_BENCH_FILES, ZOV_BENCH_MB and ZOV_BENCH_DIR override)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
files=${ZOV_BENCH_FILES:-20000}
total_mb=${ZOV_BENCH_MB:-1024}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF -DZOV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target file_backup_bench rar >/dev/null
bench="$build/bin/file_backup_bench"
rar=$(realpath "$build/program/rar")

work=$(mktemp -d "${ZOV_BENCH_DIR:-${TMPDIR:-/tmp}}/zovbench_XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program" "$work/storage"
export ZOV_PROGRAM_DIR="$work/program/"

"$bench" tree "$work/src" "$files" "$total_mb"
# Warm the page cache so that every run reads the tree from memory.
tar -cf - -C "$work" src >/dev/null


t_cp=$(seconds cp -a "$work/src" "$work/cp")
t_tgz=$(seconds sh -c "tar -cf - -C '$work' src | gzip -1 > '$work/src.tar.gz'")
t_rar=$(seconds "$rar" a -r -o+ -m1 -y -ep1 -inul "$work/alone.rar" "$work/src")
t_copy=$(seconds "$bench" copy "$work/src/" "$work/storage/copy" "$rar")
t_packed=$(seconds "$bench" compressed "$work/src/" "$work/storage/packed" "$rar")

copied=$(find "$work/storage/copy" -type f | wc -l)
archive=$(find "$work/storage/packed" -name '*.rar' -printf '%s\n' | awk '{s += $1} END {print s}')
[ "$copied" -eq "$files" ] || { echo "copy task copied $copied of $files files" >&2; exit 1; }

row() { printf '%-28s %8.2f s %10.0f files/s %8.1f MB/s\n' "$1" "$2" "$(calc "$files / $2")" "$(calc "$total_mb / $2")"; }
echo "tree: $files files, $total_mb MiB; archive of the compressed task: $((archive / 1024 / 1024)) MiB"
row "cp -a" "$t_cp"
row "copy task (CBackup)" "$t_copy"
row "tar -cf - | gzip -1" "$t_tgz"
row "stand-in rar alone" "$t_rar"
row "compressed task (CBackup)" "$t_packed"
printf 'copy task / cp -a:             %.2f (target <= 1.5)\n' "$(calc "$t_copy / $t_cp")"
printf 'compressed task / rar alone:   %.2f (target <= 1.3)\n' "$(calc "$t_packed / $t_rar")"
printf 'compressed task / tar | gzip:  %.2f\n' "$(calc "$t_packed / $t_tgz")"
