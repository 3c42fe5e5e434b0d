#!/usr/bin/env bash
# Throughput and size of the stand-in archiver ("a -r -m1 -ep1") against "tar -cf - | pigz -1" (gzip on
# every core, as the archiver deflates on every core) on a 1 GiB tree of text and random data, built in a
# temporary folder.
# Usage: bench/rar_vs_gzip.sh [path/to/rar]   (default: build/program/rar)
set -euo pipefail
cd "$(dirname "$0")/.."

rar=$(realpath "${1:-build/program/rar}")
[ -x "$rar" ] || { echo "no archiver at $rar (build the rar target first)" >&2; exit 1; }
command -v pigz >/dev/null || { echo "pigz is missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/rarbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
tree=$work/Data
mkdir -p "$tree"

# Text: source headers and documentation of this machine, cut into files of mixed sizes.
find /usr/include /usr/share/doc -type f -size -2M \( -name '*.h' -o -name '*.txt' -o -name '*.html' \
  -o -name 'README*' -o -name 'copyright' \) -print0 2>/dev/null | sort -z | xargs -0 cat > "$work/corpus" 2>/dev/null || true
corpus_size=$(stat -c %s "$work/corpus")
[ "$corpus_size" -gt $((16 * 1024 * 1024)) ] || { echo "too little text on this machine for the corpus" >&2; exit 1; }

half=$((512 * 1024 * 1024))
sizes=(4096 65536 262144 1048576 4194304 16777216)

make_files() {  # kind (text|random) total
  local kind=$1 left=$2 n=0 offset=0 size folder
  while [ "$left" -gt 0 ]; do
    size=${sizes[$((n % ${#sizes[@]}))]}
    [ "$size" -le "$left" ] || size=$left
    folder=$tree/$kind/$((n % 16))
    mkdir -p "$folder"
    if [ "$kind" = text ]; then
      [ $((offset + size)) -le "$corpus_size" ] || offset=0
      dd if="$work/corpus" of="$folder/file$n.txt" bs=1M iflag=skip_bytes,count_bytes skip="$offset" \
        count="$size" status=none
      offset=$((offset + size))
    else
      head -c "$size" /dev/urandom > "$folder/file$n.bin"
    fi
    left=$((left - size))
    n=$((n + 1))
  done
}
make_files text "$half"
make_files random "$half"
rm "$work/corpus"
tree_bytes=$(du -sb "$tree" | cut -f1)
find "$tree" -type f -exec cat {} + > /dev/null  # both runs start from a warm cache

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
seconds() { local start end; start=$(date +%s.%N); "$@"; end=$(date +%s.%N); calc "$end - $start"; }

best_of_two() {  # command...
  local a b
  a=$(seconds "$@")
  b=$(seconds "$@")
  calc "($a < $b) ? $a : $b"
}

run_rar() { rm -f "$work/out.rar"; "$rar" a -r -m1 -ep1 -inul "$work/out.rar" "$tree"; }
run_gzip() { tar -cf - -C "$work" Data | pigz -1 > "$work/out.tar.gz"; }

rar_time=$(best_of_two run_rar)
gzip_time=$(best_of_two run_gzip)
rar_size=$(stat -c %s "$work/out.rar")
gzip_size=$(stat -c %s "$work/out.tar.gz")

mib=$((1024 * 1024))
printf 'tree:            %d MiB (half text, half random)\n' $((tree_bytes / mib))
printf 'rar a -m1:       %6.2f s  %7.1f MiB/s  %d MiB\n' "$rar_time" "$(calc "$tree_bytes / $mib / $rar_time")" $((rar_size / mib))
printf 'tar | pigz -1:   %6.2f s  %7.1f MiB/s  %d MiB\n' "$gzip_time" "$(calc "$tree_bytes / $mib / $gzip_time")" $((gzip_size / mib))
printf 'throughput ratio (rar / pigz): %.2f   (target >= 2)\n' "$(calc "$gzip_time / $rar_time")"
printf 'size ratio (rar / pigz):       %.3f  (target <= 1.05)\n' "$(calc "$rar_size / $gzip_size")"
