#!/usr/bin/env bash
# Compares the stand-in archiver's `a -r -m1` with `tar -cf - | pigz -1` and `tar -cf - | zstd -T0 -1` (every
# core each) on a 1 GiB tree of real files of this machine (make_rar_trees.py mixed), time and size. The
# commands run in turn, the order rotated each run; each ends with a sync of its archive, and every archive
# is extracted and compared with `diff -r` against the tree after every run. Prints per line: ours and the
# peer (min/median seconds), the ratio of the medians (and of the minimums), the size ratio, the runs and
# the one-minute load at the start and end. bench/rar_speed.sh covers more inputs and extraction.
# Usage: bench/rar_vs_gzip.sh [build folder]   (default build-bench)
# ZOV_BENCH_MB (default 1024), ZOV_BENCH_RUNS (default 5), ZOV_BENCH_DIR (default $TMPDIR or /tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
runs=${ZOV_BENCH_RUNS:-5}
need_packages pigz zstd
bench_build "$build" rar
rar=$(realpath "$build/program/rar")

bench_work rarbench 8
python3 bench/make_rar_trees.py mixed "$work/Data" $((${ZOV_BENCH_MB:-1024} * 1024 * 1024))
find "$work/Data" -type f -exec cat {} + >/dev/null

rar_add() { "$rar" a -r -m1 -ep1 -inul "$work/a.rar" "$work/Data" && sync -f "$work/a.rar"; }
pigz_add() { tar -cf - -C "$work" Data | pigz -1 > "$work/a.tgz" && sync -f "$work/a.tgz"; }
zstd_add() { tar -cf - -C "$work" Data | zstd -q -T0 -1 > "$work/a.tzst" && sync -f "$work/a.tzst"; }
declare -A ARCHIVE=([rar_add]=$work/a.rar [pigz_add]=$work/a.tgz [zstd_add]=$work/a.tzst)
bench_before() { rm -f "${ARCHIVE[$1]}"; }
bench_verify() {
  rm -rf "$work/check" && mkdir "$work/check"
  case $1 in
    rar_add) "$rar" x -y -inul "${ARCHIVE[$1]}" "$work/check/" ;;
    pigz_add) tar -xzf "${ARCHIVE[$1]}" -C "$work/check" ;;
    zstd_add) zstd -qdc "${ARCHIVE[$1]}" | tar -xf - -C "$work/check" ;;
  esac
  same_tree "$work/Data" "$work/check/Data"
  rm -rf "$work/check"
}
size() { stat -c %s "${ARCHIVE[$1]}"; }

echo "tree: $(find "$work/Data" -type f | wc -l) files, $(du -sm --apparent-size "$work/Data" | cut -f1) MiB" \
  "of /usr; $(nproc) cores; seconds min/median"
in_turn "$runs" rar_add pigz_add zstd_add
line "a -m1 vs tar | pigz -1" rar_add pigz_add "$(size rar_add)" "$(size pigz_add)" "time <= 0.5, size <= 1.05"
line "a -m1 vs tar | zstd -T0 -1" rar_add zstd_add "$(size rar_add)" "$(size zstd_add)"
