#!/usr/bin/env bash
# Compares the differential file tasks (CBackup) with the usual tools on a 1 GiB tree of real files of this
# machine (make_rar_trees.py mixed) of which every 100th file changed since the base:
#   copied differential      vs  rsync -a --checksum --compare-dest=<base>   and  rsync -a --compare-dest
#   compressed differential  vs  the same work by a pipeline: pigz -dc base.tgz | tar -x, then rsync -a
#                                [--checksum] --compare-dest=<unpacked base>, then tar -cf - | pigz -1
# The tasks sync their output before they record success, so every peer syncs what it wrote too. All
# commands run in turn, the order rotated each run; after every run each output is checked to hold exactly
# the changed files with the source's contents. Prints per line: ours and the peer (min/median seconds), the
# ratio of the medians (and of the minimums), the size ratio, the runs and the one-minute load at the start
# and end.
# Usage: bench/diff_backup.sh [build folder]   (default build-bench)
# ZOV_BENCH_MB (default 1024), ZOV_BENCH_RUNS (default 5), ZOV_BENCH_DIR (default $TMPDIR or /tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
runs=${ZOV_BENCH_RUNS:-5}
need_packages pigz rsync
bench_build "$build" file_backup_bench rar
bench=$(realpath "$build/bin/file_backup_bench")
rar=$(realpath "$build/program/rar")

bench_work zovbench 8
mkdir -p "$work/program" "$work/storage"
export ZOV_PROGRAM_DIR="$work/program/"
python3 bench/make_rar_trees.py mixed "$work/src" $((${ZOV_BENCH_MB:-1024} * 1024 * 1024))

# The bases: the tasks' first runs, and the tree as they found it as a .tar.gz for the pipeline.
"$bench" copy-diff "$work/src/" "$work/storage/copy" "$rar"
"$bench" compressed-diff "$work/src/" "$work/storage/packed" "$rar"
tar -cf - -C "$work" src | pigz -1 > "$work/base.tgz"
base_copy=$(find "$work/storage/copy" -mindepth 3 -maxdepth 3 -type d -name src -path '*/src_*/src')
sleep 1
python3 bench/make_rar_trees.py change "$work/src" 100 1
changed=$(find "$work/src" -type f -newer "$work/base.tgz" | wc -l)
tar -cf - -C "$work" src >/dev/null

copied_differential() { "$bench" copy-diff "$work/src/" "$work/storage/copy" "$rar"; }
compressed_differential() { "$bench" compressed-diff "$work/src/" "$work/storage/packed" "$rar"; }
rsync_checksum() {
  rsync -a --checksum --compare-dest="$base_copy/" "$work/src/" "$work/out/rsync/" && sync -f "$work/out/rsync"
}
rsync_plain() { rsync -a --compare-dest="$base_copy/" "$work/src/" "$work/out/rsync/" && sync -f "$work/out/rsync"; }
pipeline() {  # [rsync option]
  mkdir -p "$work/out/base" "$work/out/diff/src"
  pigz -dc "$work/base.tgz" | tar -xf - -C "$work/out/base" &&
    rsync -a "$@" --compare-dest="$work/out/base/src/" "$work/src/" "$work/out/diff/src/" &&
    tar -cf - -C "$work/out/diff" src | pigz -1 > "$work/out/diff.tgz" && sync -f "$work/out/diff.tgz"
}
pipeline_checksum() { pipeline --checksum; }
pipeline_plain() { pipeline; }

declare -A SIZES
newest() { find "$@" -newer "$work/base.tgz" | sort | tail -1; }
bench_before() {
  rm -rf "$work/out" "$work/check" && mkdir -p "$work/out/rsync"
  sleep 1  # each task run gets a stamp (seconds) of its own
}
# The files under the folder are the changed ones, with the source's contents.
changed_files() {
  local folder=$1 found=0 name
  while IFS= read -r -d '' name; do
    cmp -s "$folder/$name" "$work/src/$name" || { echo "$1/$name differs from the source" >&2; exit 1; }
    found=$((found + 1))
  done < <(cd "$folder" && find . -type f -print0)
  [ "$found" -eq "$changed" ] || { echo "$folder holds $found files, $changed changed" >&2; exit 1; }
}
bench_verify() {
  local what check=$work/check
  mkdir -p "$check"
  case $1 in
    copied_differential) what=$(newest "$work/storage/copy/diff" -mindepth 2 -maxdepth 2 -type d) && check=$what/src ;;
    compressed_differential) what=$(newest "$work/storage/packed/diff" -name '*.rar') &&
      "$rar" x -y -inul "$what" "$check/" && check+=/src ;;
    rsync_*) what=$work/out/rsync && check=$what ;;
    pipeline_*) what=$work/out/diff.tgz && tar -xzf "$what" -C "$check" && check+=/src ;;
  esac
  changed_files "$check"
  SIZES[$1]=$(du -sb --apparent-size "$what" | cut -f1)
  rm -rf "$work/check"
}

echo "tree: $(find "$work/src" -type f | wc -l) files, $(du -sm --apparent-size "$work/src" | cut -f1) MiB" \
  "of /usr, $changed changed; $(nproc) cores; seconds min/median"
in_turn "$runs" copied_differential rsync_checksum rsync_plain compressed_differential pipeline_checksum \
  pipeline_plain
line "copied diff vs rsync --checksum" copied_differential rsync_checksum "" "" "time <= 1.0"
line "copied diff vs rsync (times, sizes)" copied_differential rsync_plain
line "compressed diff vs pipeline --checksum" compressed_differential pipeline_checksum \
  "${SIZES[compressed_differential]}" "${SIZES[pipeline_checksum]}" "time <= 1.0"
line "compressed diff vs pipeline" compressed_differential pipeline_plain "${SIZES[compressed_differential]}" \
  "${SIZES[pipeline_plain]}"
