#!/usr/bin/env bash
# Backs up one tree of 20,000 files (1 GiB) with a copy task and a compressed task through CBackup (what a
# worker of the service runs), and times `cp -a`, `tar -cf - | gzip -1` and the stand-in archiver alone on
# the same tree in the same run, each in turn, ZOV_BENCH_RUNS times (default 3): min and median. The tasks
# sync their output before they record success, so each peer is also timed followed by a sync of what it
# wrote, and the targets are set against those: compressed task <= 1.1x the archiver and its sync, copy
# task <= 1.0x cp -a and its writeback.
# Usage: bench/file_backup.sh [build folder]   (ZOV_BENCH_FILES, ZOV_BENCH_MB and ZOV_BENCH_DIR override)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
files=${ZOV_BENCH_FILES:-20000}
runs=${ZOV_BENCH_RUNS:-3}
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


median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
least() { printf '%s\n' "$@" | sort -g | head -1; }
t_cp=() t_cp_sync=() t_tgz=() t_rar=() t_rar_sync=() t_copy=() t_packed=()
# The archiver and the compressed task first, so that no copy's writing back to disk falls into their runs.
for ((run = 0; run < runs; ++run)); do
  rm -rf "$work/alone.rar" "$work/storage"
  mkdir "$work/storage"
  t_rar+=("$(seconds "$rar" a -r -o+ -m1 -y -ep1 -inul "$work/alone.rar" "$work/src")")
  rm -f "$work/alone.rar"
  # The task syncs its archive before it records success; the archiver alone does not.
  t_rar_sync+=("$(seconds sh -c "'$rar' a -r -o+ -m1 -y -ep1 -inul '$work/alone.rar' '$work/src' && sync '$work/alone.rar'")")
  t_packed+=("$(seconds "$bench" compressed "$work/src/" "$work/storage/packed" "$rar")")
done
for ((run = 0; run < runs; ++run)); do
  rm -rf "$work/cp" "$work/src.tar.gz" "$work/storage/copy"
  t_cp+=("$(seconds cp -a "$work/src" "$work/cp")")
  rm -rf "$work/cp"
  t_cp_sync+=("$(seconds sh -c "cp -a '$work/src' '$work/cp' && sync -f '$work/cp'")")
  t_tgz+=("$(seconds sh -c "tar -cf - -C '$work' src | gzip -1 > '$work/src.tar.gz'")")
  t_copy+=("$(seconds "$bench" copy "$work/src/" "$work/storage/copy" "$rar")")
done

copied=$(find "$work/storage/copy" -type f | wc -l)
archive=$(find "$work/storage/packed" -name '*.rar' -printf '%s\n' | awk '{s += $1} END {print s}')
[ "$copied" -eq "$files" ] || { echo "copy task copied $copied of $files files" >&2; exit 1; }

row() {
  local name=$1
  shift
  local m
  m=$(median "$@")
  printf '%-28s min %7.2f s  median %7.2f s %10.0f files/s %8.1f MB/s\n' "$name" "$(least "$@")" "$m" \
    "$(calc "$files / $m")" "$(calc "$total_mb / $m")"
}
ratio() { printf '%-30s %.2f (min), %.2f (median)%s\n' "$1" "$(calc "$2 / $4")" "$(calc "$3 / $5")" "$6"; }
echo "tree: $files files, $total_mb MiB; archive of the compressed task: $((archive / 1024 / 1024)) MiB"
echo "load: $(uptime | sed 's/.*load average: //')"
row "cp -a" "${t_cp[@]}"
row "cp -a, then its sync" "${t_cp_sync[@]}"
row "copy task (CBackup)" "${t_copy[@]}"
row "tar -cf - | gzip -1" "${t_tgz[@]}"
row "stand-in rar alone" "${t_rar[@]}"
row "stand-in rar, then its sync" "${t_rar_sync[@]}"
row "compressed task (CBackup)" "${t_packed[@]}"
ratio "copy task / cp -a + sync:" "$(least "${t_copy[@]}")" "$(median "${t_copy[@]}")" \
  "$(least "${t_cp_sync[@]}")" "$(median "${t_cp_sync[@]}")" "; target <= 1.0 (same file system)"
ratio "compressed task / rar alone:" "$(least "${t_packed[@]}")" "$(median "${t_packed[@]}")" \
  "$(least "${t_rar[@]}")" "$(median "${t_rar[@]}")" " (the task also syncs)"
ratio "compressed task / rar + sync:" "$(least "${t_packed[@]}")" "$(median "${t_packed[@]}")" \
  "$(least "${t_rar_sync[@]}")" "$(median "${t_rar_sync[@]}")" "; target <= 1.1"
ratio "compressed task / tar | gzip:" "$(least "${t_packed[@]}")" "$(median "${t_packed[@]}")" \
  "$(least "${t_tgz[@]}")" "$(median "${t_tgz[@]}")" ""
