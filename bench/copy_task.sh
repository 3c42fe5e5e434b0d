#!/usr/bin/env bash
# Copy tasks to another file system: a tree on the main disk is backed up by a copy task through CBackup
# onto a file system mounted for the run (a tmpfs, or with ZOV_BENCH_TARGET_FS=ext4 a loop-mounted ext4
# on a sparse file), and `cp -a`, `rsync -a` and `tar -cf - | tar -xf -` (a copy through heap buffers) copy
# the same tree there in the same run, each in turn. `cp -a` pays on this kind of virtual machine for an
# unmap per file, so the targets are set against the other two. Two trees: 200,000 tiny files (targets:
# copy task <= 1.0x rsync -a and tar | tar) and 20,000 files of 1 GiB together (target: copy task <= 0.8x
# rsync -a and tar | tar). Prints min and median of ZOV_BENCH_RUNS runs (default 3).
# On ext4 every copy ends with a sync of the target file system, as the copy task syncs its output.
# Needs root (mount). Usage: bench/copy_task.sh [build folder]   (default build-bench; ZOV_BENCH_TINY,
# ZOV_BENCH_FILES, ZOV_BENCH_MB and ZOV_BENCH_DIR override the sizes and the folder of the source)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
runs=${ZOV_BENCH_RUNS:-3}
tiny=${ZOV_BENCH_TINY:-200000}
files=${ZOV_BENCH_FILES:-20000}
total_mb=${ZOV_BENCH_MB:-1024}
target_fs=${ZOV_BENCH_TARGET_FS:-tmpfs}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF -DZOV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "${ZOV_BENCH_JOBS:-3}" --target file_backup_bench rar >/dev/null
bench="$build/bin/file_backup_bench"
rar=$(realpath "$build/program/rar")

work=$(mktemp -d "${ZOV_BENCH_DIR:-${TMPDIR:-/tmp}}/zovcopy_XXXXXX")
target="$work/target"
cleanup() {
  umount "$target" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/program" "$target"
export ZOV_PROGRAM_DIR="$work/program/"
if [ "$target_fs" = ext4 ]; then
  truncate -s $((4 * total_mb + 4096))M "$work/target.img"
  mkfs.ext4 -q -F "$work/target.img"
  mount -o loop "$work/target.img" "$target"
  settle() { sync -f "$target"; }
else
  mount -t tmpfs -o size=$((3 * total_mb + 2048))m zovcopy "$target"
  settle() { :; }
fi

copy_cp() { cp -a "$1" "$target/out" && settle; }
copy_rsync() { rsync -a "$1/" "$target/out/" && settle; }
copy_tar() { mkdir -p "$target/out" && tar -cf - -C "$1" . | tar -xf - -C "$target/out" && settle; }
copy_task() { "$bench" copy "$1/" "$target/out" "$rar"; }

# The copy task copies every file of the tree (checked once, outside the timing).
check_task() {
  rm -rf "$target/out"
  copy_task "$1"
  local copied
  copied=$(find "$target/out" -type f | wc -l)
  [ "$copied" -eq "$2" ] || { echo "copy task copied $copied of $2 files" >&2; exit 1; }
}

# Times one copier ZOV_BENCH_RUNS times into the emptied target, in turn with the others of its row.
declare -A times
measure() {
  local source=$1
  shift
  for ((run = 0; run < runs; ++run)); do
    for copier in "$@"; do
      rm -rf "$target/out"
      times[$copier]+="$(seconds "copy_$copier" "$source") "
    done
  done
}
min() { tr ' ' '\n' <<<"$1" | grep . | sort -g | head -1; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
row() { printf '  %-12s min %7.2f s  median %7.2f s\n' "$1" "$(min "${times[$1]}")" "$(median "${times[$1]}")"; }
ratio() {
  printf '  copy task / %-9s %.2f (min), %.2f (median); target <= %s\n' "$2" \
    "$(calc "$(min "${times[task]}") / $(min "${times[$1]}")")" \
    "$(calc "$(median "${times[task]}") / $(median "${times[$1]}")")" "$3"
}
echo "target: $target_fs; $(nproc) cores; load: $(uptime | sed 's/.*load average: //')"
"$bench" tree "$work/tiny" "$tiny" $((tiny / 10000 + 1))
tar -cf - -C "$work" tiny >/dev/null
check_task "$work/tiny" "$tiny"
measure "$work/tiny" task cp rsync tar
echo "$tiny tiny files:"
for copier in task cp rsync tar; do row "$copier"; done
ratio cp "cp -a" "- (an unmap per file)"
ratio rsync "rsync -a" 1.0
ratio tar "tar | tar" 1.0

times=()
rm -rf "$work/tiny" "$target/out"
"$bench" tree "$work/big" "$files" "$total_mb"
tar -cf - -C "$work" big >/dev/null
check_task "$work/big" "$files"
measure "$work/big" task cp rsync tar
echo "$files files, $total_mb MiB:"
for copier in task cp rsync tar; do row "$copier"; done
ratio cp "cp -a" "- (an unmap per file)"
ratio rsync "rsync -a" 0.8
ratio tar "tar | tar" 0.8
