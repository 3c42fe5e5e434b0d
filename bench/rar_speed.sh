#!/usr/bin/env bash
# The stand-in archiver against its peers, each pair timed in turn in the same run (min and median of
# ZOV_BENCH_RUNS runs, 3 by default), on a 1 GiB mixed tree (half text, half random), one 2 GiB file and
# 100,000 files of 4 KiB:
#   a -m1                   vs  tar -cf - | pigz -1   (time and size)
#   a -m1 with a password   vs  the same without a password
#   x                       vs  tar -xzf
#   x with a password       vs  the same without a password
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

# Each command takes the name of its data: mixed, big or small.
rar_add() { rm -f "$work/out/a.rar"; "$rar" a -r -m1 -ep1 -inul "$work/out/a.rar" "$work/$1/Data"; }
rar_add_password() {
  rm -f "$work/out/a.rar"
  RAR="-pbench password" "$rar" a -r -m1 -ep1 -inul "$work/out/a.rar" "$work/$1/Data"
}
pigz_add() { tar -cf - -C "$work/$1" Data | pigz -1 > "$work/out/a.tgz"; }
rar_extract() { "$rar" x -y -o+ -inul "$work/out/$1.rar" "$work/out/x/"; }
rar_extract_password() { RAR="-pbench password" "$rar" x -y -o+ -inul "$work/out/$1.p.rar" "$work/out/x/"; }
tar_extract() { tar -xzf "$work/out/$1.tgz" -C "$work/out/t"; }

# name, ours, peer, data, target: runs both in turn and prints one line.
compare() {
  local name=$1 ours=$2 peer=$3 data=$4 target=$5 mine=() theirs=() i
  # Every run reads its source from the page cache.
  find "$work/$data" -type f -exec cat {} + > /dev/null
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/out/x" "$work/out/t"; mkdir -p "$work/out/t"
    mine+=("$(seconds $ours $data)")
    rm -rf "$work/out/x" "$work/out/t"; mkdir -p "$work/out/t"
    theirs+=("$(seconds $peer $data)")
  done
  local m=$(median "${mine[@]}") p=$(median "${theirs[@]}")
  printf '%-36s %7.2f / %7.2f s   peer %7.2f / %7.2f s   ratio %.2f (median), %.2f (min)   target %s\n' \
    "$name" "$(least "${mine[@]}")" "$m" "$(least "${theirs[@]}")" "$p" "$(calc "$m / $p")" \
    "$(calc "$(least "${mine[@]}") / $(least "${theirs[@]}")")" "$target"
}

size_ratio() {  # name data
  rar_add "$2"; pigz_add "$2"
  printf '%-36s %d / %d bytes   ratio %.3f   target <= 1.05\n' "$1 size" "$(stat -c %s "$work/out/a.rar")" \
    "$(stat -c %s "$work/out/a.tgz")" "$(calc "$(stat -c %s "$work/out/a.rar") / $(stat -c %s "$work/out/a.tgz")")"
}

echo "scale $scale, $runs runs each, $(nproc) cores; min / median; $(uptime)"
for data in mixed big small; do
  target=$([ "$data" = small ] && echo "<= 1.0" || echo "<= 0.5")
  compare "a -m1, $data" rar_add pigz_add "$data" "$target"
  [ "$data" = small ] || size_ratio "a -m1, $data" "$data"
  compare "a -m1 -p, $data (peer: no -p)" rar_add_password rar_add "$data" "<= 1.3"
done
for data in mixed big small; do
  "$rar" a -r -m1 -ep1 -inul "$work/out/$data.rar" "$work/$data/Data"
  RAR="-pbench password" "$rar" a -r -m1 -ep1 -inul "$work/out/$data.p.rar" "$work/$data/Data"
  tar -cf - -C "$work/$data" Data | pigz -1 > "$work/out/$data.tgz"
  target=$([ "$data" = small ] && echo "<= 1.0" || echo "<= 0.5")
  compare "x, $data" rar_extract tar_extract "$data" "$target"
  compare "x -p, $data (peer: no -p)" rar_extract_password rar_extract "$data" "<= 1.3"
  rm -f "$work/out/$data.rar" "$work/out/$data.p.rar" "$work/out/$data.tgz"
done
echo "after: $(uptime)"
