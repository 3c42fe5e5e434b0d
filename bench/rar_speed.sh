#!/usr/bin/env bash
# The stand-in archiver against its peers, each pair timed in turn in the same run (min and median of
# ZOV_BENCH_RUNS runs, 3 by default):
#   a -m1, 1 GiB mixed tree (half text, half random)  vs  tar -cf - dir | pigz -1   (time and size)
#   a -m1, one 2 GiB file                             vs  tar -cf - file | pigz -1  (time and size)
#   a -m1, 100,000 files of 4 KiB                     vs  tar -cf - dir | pigz -1
#   a -m1 with a password, 1 GiB mixed tree           vs  the same without a password
#   x, 100,000 files of 4 KiB                         vs  tar -xzf
# Usage: bench/rar_speed.sh [build folder]   (default build-bench, configured for Release)
# ZOV_BENCH_SCALE (default 1) scales every size and count, e.g. 0.05 for a quick look; ZOV_BENCH_DIR sets
# where the data goes (default $TMPDIR or /tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
scale=${ZOV_BENCH_SCALE:-1}
runs=${ZOV_BENCH_RUNS:-3}
command -v pigz >/dev/null || { echo "pigz is missing" >&2; exit 1; }

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target rar >/dev/null
rar=$(realpath "$build/program/rar")

work=$(mktemp -d "${ZOV_BENCH_DIR:-${TMPDIR:-/tmp}}/rarspeed_XXXXXX")
trap 'rm -rf "$work"' EXIT
scaled() { awk "BEGIN { printf \"%d\", $1 * $scale }"; }
gib=$((1024 * 1024 * 1024))
python3 bench/make_rar_trees.py mixed "$work/mixed/Data" "$(scaled $gib)"
python3 bench/make_rar_trees.py file "$work/big/Data/big.bin" "$(scaled $((2 * gib)))"
python3 bench/make_rar_trees.py small "$work/small/Data" "$(scaled 100000)"
mkdir -p "$work/out"

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
least() { printf '%s\n' "$@" | sort -g | head -1; }

rar_add() { rm -f "$work/out/a.rar"; "$rar" a -r -m1 -ep1 -inul "$work/out/a.rar" "$1"; }
rar_add_password() { rm -f "$work/out/a.rar"; RAR="-pbench password" "$rar" a -r -m1 -ep1 -inul "$work/out/a.rar" "$1"; }
pigz_add() { tar -cf - -C "$(dirname "$1")" "$(basename "$1")" | pigz -1 > "$work/out/a.tgz"; }
rar_extract() { "$rar" x -y -o+ -inul "$work/out/small.rar" "$work/out/x/"; }
tar_extract() { tar -xzf "$work/out/small.tgz" -C "$work/out/t"; }

# name, ours, peer, source (or "" for extraction), target: runs both in turn and prints one line.
compare() {
  local name=$1 ours=$2 peer=$3 source=$4 target=$5 mine=() theirs=() i
  cat $(find "$work/mixed" "$work/big" "$work/small" -type f) > /dev/null 2>&1 || true
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/out/x" "$work/out/t"; mkdir -p "$work/out/t"
    mine+=("$(seconds $ours $source)")
    rm -rf "$work/out/x" "$work/out/t"; mkdir -p "$work/out/t"
    theirs+=("$(seconds $peer $source)")
  done
  local m=$(median "${mine[@]}") p=$(median "${theirs[@]}")
  printf '%-34s %7.2f / %7.2f s   peer %7.2f / %7.2f s   ratio %.2f (median), %.2f (min)   target %s\n' \
    "$name" "$(least "${mine[@]}")" "$m" "$(least "${theirs[@]}")" "$p" "$(calc "$m / $p")" \
    "$(calc "$(least "${mine[@]}") / $(least "${theirs[@]}")")" "$target"
}

size_ratio() {  # name source
  rar_add "$2"; pigz_add "$2"
  printf '%-34s %d / %d bytes   ratio %.3f   target <= 1.02\n' "$1 size" "$(stat -c %s "$work/out/a.rar")" \
    "$(stat -c %s "$work/out/a.tgz")" "$(calc "$(stat -c %s "$work/out/a.rar") / $(stat -c %s "$work/out/a.tgz")")"
}

echo "scale $scale, $runs runs each, $(nproc) cores; min / median; $(uptime)"
compare "a -m1, mixed tree" rar_add pigz_add "$work/mixed/Data" "<= 1.0"
size_ratio "a -m1, mixed tree" "$work/mixed/Data"
compare "a -m1, one large file" rar_add pigz_add "$work/big/Data" "<= 1.0"
size_ratio "a -m1, one large file" "$work/big/Data"
compare "a -m1, small files" rar_add pigz_add "$work/small/Data" "<= 1.0"
compare "a -m1 -p, mixed tree (peer: no -p)" rar_add_password rar_add "$work/mixed/Data" "<= 1.15"
"$rar" a -r -m1 -ep1 -inul "$work/out/small.rar" "$work/small/Data"
tar -cf - -C "$work/small" Data | pigz -1 > "$work/out/small.tgz"
compare "x, small files" rar_extract tar_extract "" "<= 1.0"
echo "after: $(uptime)"
