#!/usr/bin/env bash
# Compares the file tasks (CBackup, as a worker of the service runs them) with the usual tools on a 1 GiB
# tree of real files of this machine (make_rar_trees.py mixed):
#   copy task        vs  cp -a, then a sync of the copy
#   compressed task  vs  the stand-in archiver alone (a -r -m1), then a sync of its archive
#   compressed task  vs  tar -cf - | pigz -1, then a sync of the archive   (and zstd -T0 -1)
# The tasks sync their output before they record success, so every peer syncs what it wrote too. All
# commands run in turn, the order rotated each run; every output is extracted or compared with `diff -r`
# against the source after every run. Prints per line: ours and the peer (min/median seconds), the ratio of
# the medians (and of the minimums), the size ratio, the runs and the one-minute load at the start and end.
# Usage: bench/file_backup.sh [build folder]   (default build-bench)
# ZOV_BENCH_MB (default 1024), ZOV_BENCH_RUNS (default 5), ZOV_BENCH_DIR (default $TMPDIR or /tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
runs=${ZOV_BENCH_RUNS:-5}
need_packages pigz zstd
bench_build "$build" file_backup_bench rar
bench=$(realpath "$build/bin/file_backup_bench")
rar=$(realpath "$build/program/rar")

bench_work zovbench 8
mkdir -p "$work/program" "$work/storage" "$work/out"
export ZOV_PROGRAM_DIR="$work/program/"
python3 bench/make_rar_trees.py mixed "$work/src" $((${ZOV_BENCH_MB:-1024} * 1024 * 1024))
tar -cf - -C "$work" src >/dev/null

copy_task() { "$bench" copy "$work/src/" "$work/storage/copy" "$rar"; }
compressed_task() { "$bench" compressed "$work/src/" "$work/storage/packed" "$rar"; }
cp_sync() { cp -a "$work/src" "$work/out/cp" && sync -f "$work/out/cp"; }
rar_sync() { "$rar" a -r -m1 -ep1 -inul "$work/out/a.rar" "$work/src" && sync -f "$work/out/a.rar"; }
pigz_sync() { tar -cf - -C "$work" src | pigz -1 > "$work/out/a.tgz" && sync -f "$work/out/a.tgz"; }
zstd_sync() { tar -cf - -C "$work" src | zstd -q -T0 -1 > "$work/out/a.tzst" && sync -f "$work/out/a.tzst"; }

written() {  # command -> what it wrote
  case $1 in
    copy_task) find "$work/storage/copy" -mindepth 3 -maxdepth 3 -type d -name src ;;
    compressed_task) find "$work/storage/packed" -name '*.rar' ;;
    cp_sync) echo "$work/out/cp" ;; rar_sync) echo "$work/out/a.rar" ;;
    pigz_sync) echo "$work/out/a.tgz" ;; zstd_sync) echo "$work/out/a.tzst" ;;
  esac
}
bench_before() {
  rm -rf "$work/storage" "$work/out" && mkdir -p "$work/storage" "$work/out"
  sleep 1  # each task run gets a stamp (seconds) of its own
}
bench_verify() {
  local what check=$work/check
  what=$(written "$1")
  SIZES[$1]=$(du -sb --apparent-size "$what" | cut -f1)
  rm -rf "$check" && mkdir -p "$check"
  case $1 in
    copy_task | cp_sync) check=$what ;;
    compressed_task | rar_sync) "$rar" x -y -inul "$what" "$check/" && check+=/src ;;
    pigz_sync) tar -xzf "$what" -C "$check" && check+=/src ;;
    zstd_sync) zstd -qdc "$what" | tar -xf - -C "$check" && check+=/src ;;
  esac
  same_tree "$work/src" "$check"
  rm -rf "$work/check"
}
declare -A SIZES

echo "tree: $(find "$work/src" -type f | wc -l) files, $(du -sm --apparent-size "$work/src" | cut -f1) MiB" \
  "of /usr; $(nproc) cores; seconds min/median"
in_turn "$runs" copy_task cp_sync compressed_task rar_sync pigz_sync zstd_sync
line "copy task vs cp -a + sync" copy_task cp_sync "" "" "time <= 1.0"
line "compressed task vs rar a -m1 + sync" compressed_task rar_sync "${SIZES[compressed_task]}" \
  "${SIZES[rar_sync]}" "time <= 1.1"
line "compressed task vs tar | pigz -1" compressed_task pigz_sync "${SIZES[compressed_task]}" "${SIZES[pigz_sync]}"
line "compressed task vs tar | zstd -1" compressed_task zstd_sync "${SIZES[compressed_task]}" "${SIZES[zstd_sync]}"
