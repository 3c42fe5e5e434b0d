#!/usr/bin/env bash
# A differential run over a tree of 20,000 files (1 GiB) of which 1% changed since the base, each against
# its peer in the same run: the copied differential against `rsync -a --checksum --compare-dest=<base>`
# (digest both trees, copy what differs), the compressed differential against the same work done by a
# standard pipeline: unpack the base (`tar -xzf`), `rsync -a --checksum --compare-dest=<unpacked base>`,
# then `tar -cf - | gzip -1` of what it copied.
# Usage: bench/diff_backup.sh [build folder]   (ZOV_BENCH_FILES, ZOV_BENCH_MB and ZOV_BENCH_DIR override)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
files=${ZOV_BENCH_FILES:-20000}
total_mb=${ZOV_BENCH_MB:-1024}
command -v rsync >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq rsync >/dev/null

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF -DZOV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target file_backup_bench rar >/dev/null
bench="$build/bin/file_backup_bench"
rar=$(realpath "$build/program/rar")

work=$(mktemp -d "${ZOV_BENCH_DIR:-${TMPDIR:-/tmp}}/zovbench_XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program" "$work/storage" "$work/rsync"
export ZOV_PROGRAM_DIR="$work/program/"

"$bench" tree "$work/src" "$files" "$total_mb"
"$bench" copy-diff "$work/src/" "$work/storage/copy" "$rar"
"$bench" compressed-diff "$work/src/" "$work/storage/packed" "$rar"

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The pipeline's base: the tree as the first differential found it, as a .tar.gz.
tar -cf - -C "$work" src | gzip -1 > "$work/base.tgz"
pipeline() {
  rm -rf "$work/pipe" && mkdir -p "$work/pipe/base" "$work/pipe/diff"
  tar -xzf "$work/base.tgz" -C "$work/pipe/base" &&
    rsync -a --checksum --compare-dest="$work/pipe/base/src/" "$work/src/" "$work/pipe/diff/" &&
    tar -cf - -C "$work/pipe" diff | gzip -1 > "$work/pipe/diff.tgz"
}

base_copy=$(find "$work/storage/copy" -mindepth 3 -maxdepth 3 -type d -name src -path '*/src_*/src' | head -1)
# Three rounds, each with other changes in 1% of the files and a stamp of its own; medians are reported.
rsync_times=() copy_times=() pipe_times=() packed_times=()
for fill in a b c; do
  sleep 1
  "$bench" change "$work/src" 100 "$fill"
  tar -cf - -C "$work" src >/dev/null
  rm -rf "$work/rsync"
  mkdir -p "$work/rsync"
  rsync_times+=("$(seconds rsync -a --checksum --compare-dest="$base_copy/" "$work/src/" "$work/rsync/")")
  copy_times+=("$(seconds "$bench" copy-diff "$work/src/" "$work/storage/copy" "$rar")")
  pipe_times+=("$(seconds pipeline)")
  packed_times+=("$(seconds "$bench" compressed-diff "$work/src/" "$work/storage/packed" "$rar")")
done
t_rsync=$(median "${rsync_times[@]}")
t_copy=$(median "${copy_times[@]}")
t_pipe=$(median "${pipe_times[@]}")
t_packed=$(median "${packed_times[@]}")

changed=$(find "$work/rsync" -type f | wc -l)
echo "tree: $files files, $total_mb MiB; changed per round: $changed files; medians of 3 rounds"
echo "load: $(uptime | sed 's/.*load average: //')"
printf '%-36s %8.2f s\n' "rsync --checksum --compare-dest" "$t_rsync" "copied differential (CBackup)" "$t_copy" \
  "tar -xzf, rsync, tar | gzip -1" "$t_pipe" "compressed differential (CBackup)" "$t_packed"
printf 'copied differential / rsync:                 %.2f (target <= 1.0)\n' "$(calc "$t_copy / $t_rsync")"
printf 'compressed differential / pipeline:          %.2f (target <= 1.0)\n' "$(calc "$t_packed / $t_pipe")"
