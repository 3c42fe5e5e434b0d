#!/usr/bin/env bash
# Compares the stand-in archiver with the usual multi-core tools on real files of this machine (see
# make_rar_trees.py): a 1 GiB mixed tree, one 2 GiB file and 100,000 files of 4 KiB.
#   a -m1 (and a -m1 with a password)  vs  tar -cf - | pigz -1   and   tar -cf - | zstd -T0 -1
#   x     (and x with a password)      vs  tar -xzf              and   pigz -dc | tar -xf -
# Prints per line: ours and the peer (min/median seconds), the ratio of the medians (and of the minimums),
# the size ratio of the outputs, the runs and the one-minute load at the start and end; a line per input
# with its size and how far pigz -1 shrinks it; the password's added time per entry.
# All commands of a line run in turn, the order rotated each run; every timed command ends with a sync of
# what it wrote, outputs go to the source's file system, and every output is checked after every run
# (extracted, then `diff -r` against the source). The password reaches the archiver through RAR.
# Usage: bench/rar_speed.sh [build folder]   (default build-bench, Release)
# ZOV_BENCH_SCALE (default 1) scales every size and count (0.02 for a quick look); ZOV_BENCH_RUNS (default
# 5); ZOV_BENCH_DATA (default "mixed big small") picks the inputs; ZOV_BENCH_DIR (default $TMPDIR or /tmp);
# ZOV_BENCH_BEFORE, an earlier build's rar program, adds it to every turn and a line "vs before" per command
# (its extraction reads the same archives as ours).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
scale=${ZOV_BENCH_SCALE:-1}
runs=${ZOV_BENCH_RUNS:-5}
need_packages pigz zstd
bench_build "$build" rar
rar=$(realpath "$build/program/rar")
before=${ZOV_BENCH_BEFORE:+$(realpath "$ZOV_BENCH_BEFORE")}

bench_work rarspeed 24
out=$work/out
mkdir -p "$out"
export BENCH_PASSWORD="bench pass word"

# Each command takes the name of its input: mixed, big or small, whose tree is $work/<input>/Data.
rar_add() { "$rar" a -r -m1 -ep1 -inul "$out/$1.rar" "$work/$1/Data" && sync -f "$out/$1.rar"; }
rar_add_password() {
  RAR="-p$BENCH_PASSWORD" "$rar" a -r -m1 -ep1 -inul "$out/$1.p.rar" "$work/$1/Data" && sync -f "$out/$1.p.rar"
}
before_add() { "$before" a -r -m1 -ep1 -inul "$out/$1.b.rar" "$work/$1/Data" && sync -f "$out/$1.b.rar"; }
before_add_password() {
  RAR="-p$BENCH_PASSWORD" "$before" a -r -m1 -ep1 -inul "$out/$1.bp.rar" "$work/$1/Data" && sync -f "$out/$1.bp.rar"
}
before_extract() { "$before" x -y -o+ -inul "$out/$1.rar" "$out/x_before/" && sync -f "$out/x_before"; }
before_extract_password() {
  RAR="-p$BENCH_PASSWORD" "$before" x -y -o+ -inul "$out/$1.p.rar" "$out/x_beforep/" && sync -f "$out/x_beforep"
}
pigz_add() { tar -cf - -C "$work/$1" Data | pigz -1 > "$out/$1.tgz" && sync -f "$out/$1.tgz"; }
zstd_add() { tar -cf - -C "$work/$1" Data | zstd -q -T0 -1 > "$out/$1.tzst" && sync -f "$out/$1.tzst"; }
rar_extract() { "$rar" x -y -o+ -inul "$out/$1.rar" "$out/x_rar/" && sync -f "$out/x_rar"; }
rar_extract_password() {
  RAR="-p$BENCH_PASSWORD" "$rar" x -y -o+ -inul "$out/$1.p.rar" "$out/x_rarp/" && sync -f "$out/x_rarp"
}
tar_extract() { tar -xzf "$out/$1.tgz" -C "$out/x_tar" && sync -f "$out/x_tar"; }
pigz_extract() { pigz -dc "$out/$1.tgz" | tar -xf - -C "$out/x_pigz" && sync -f "$out/x_pigz"; }

output_of() {  # command input -> the file or folder it writes
  case $1 in
    rar_add) echo "$out/$2.rar" ;; rar_add_password) echo "$out/$2.p.rar" ;;
    pigz_add) echo "$out/$2.tgz" ;; zstd_add) echo "$out/$2.tzst" ;;
    before_add) echo "$out/$2.b.rar" ;; before_add_password) echo "$out/$2.bp.rar" ;;
    before_extract) echo "$out/x_before" ;; before_extract_password) echo "$out/x_beforep" ;;
    rar_extract) echo "$out/x_rar" ;; rar_extract_password) echo "$out/x_rarp" ;;
    tar_extract) echo "$out/x_tar" ;; pigz_extract) echo "$out/x_pigz" ;;
  esac
}
bench_before() {
  local what command input
  read -r command input <<<"$1"
  what=$(output_of "$command" "$input")
  rm -rf "$what"
  [[ $command != *extract* ]] || mkdir -p "$what"
}
bench_verify() {
  local command input check=$out/check
  read -r command input <<<"$1"
  local what
  what=$(output_of "$command" "$input")
  rm -rf "$check" && mkdir -p "$check"
  case $command in
    rar_add | before_add) "$rar" x -y -inul "$what" "$check/" ;;
    rar_add_password | before_add_password) RAR="-p$BENCH_PASSWORD" "$rar" x -y -inul "$what" "$check/" ;;
    pigz_add) tar -xzf "$what" -C "$check" ;;
    zstd_add) zstd -qdc "$what" | tar -xf - -C "$check" ;;
    *) check=$what ;;
  esac
  same_tree "$work/$input/Data" "$check/Data"
  rm -rf "$out/check"
}
size() { stat -c %s "$(output_of "$1" "$2")"; }

scaled() { awk "BEGIN { printf \"%d\", $1 * $scale }"; }
gib=$((1024 * 1024 * 1024))
echo "scale $scale, $(nproc) cores, $(tr -d '\n' < /proc/loadavg | cut -d' ' -f1-3) load; seconds min/median"
for input in ${ZOV_BENCH_DATA:-mixed big small}; do
  case $input in
    mixed) python3 bench/make_rar_trees.py mixed "$work/mixed/Data" "$(scaled $gib)" ;;
    big) python3 bench/make_rar_trees.py file "$work/big/Data/big.bin" "$(scaled $((2 * gib)))" ;;
    small) python3 bench/make_rar_trees.py small "$work/small/Data" "$(scaled 100000)" ;;
  esac
  bytes=$(du -sb --apparent-size "$work/$input/Data" | cut -f1)
  files=$(find "$work/$input/Data" -type f | wc -l)
  fast=$([ "$input" = small ] && echo 0.35 || echo 0.5)
  find "$work/$input/Data" -type f -exec cat {} + >/dev/null

  adds=("rar_add $input" "rar_add_password $input" "pigz_add $input" "zstd_add $input")
  [ -z "$before" ] || adds+=("before_add $input" "before_add_password $input")
  in_turn "$runs" "${adds[@]}"
  printf '%-40s %d files, %.1f MiB; pigz -1 makes it %.3f of that, zstd -T0 -1 %.3f\n' "input $input" \
    "$files" "$(calc "$bytes / 1048576")" "$(calc "$(size pigz_add "$input") / $bytes")" \
    "$(calc "$(size zstd_add "$input") / $bytes")"
  line "a -m1, $input vs pigz -1" "rar_add $input" "pigz_add $input" "$(size rar_add "$input")" \
    "$(size pigz_add "$input")" "time <= $fast, size <= 1.05"
  line "a -m1, $input vs zstd -T0 -1" "rar_add $input" "zstd_add $input" "$(size rar_add "$input")" \
    "$(size zstd_add "$input")" "$([ "$input" = small ] && echo "time <= 0.45")"
  line "a -m1 -p, $input vs pigz -1" "rar_add_password $input" "pigz_add $input" \
    "$(size rar_add_password "$input")" "$(size pigz_add "$input")" "time <= $fast"
  line "a -m1 -p, $input vs zstd -T0 -1" "rar_add_password $input" "zstd_add $input" \
    "$(size rar_add_password "$input")" "$(size zstd_add "$input")"
  line "a -m1 -p, $input vs a -m1" "rar_add_password $input" "rar_add $input"
  if [ -n "$before" ]; then
    line "a -m1, $input vs before" "rar_add $input" "before_add $input" "$(size rar_add "$input")" \
      "$(size before_add "$input")" "time <= 1.0"
    line "a -m1 -p, $input vs before" "rar_add_password $input" "before_add_password $input" \
      "$(size rar_add_password "$input")" "$(size before_add_password "$input")" "time <= 1.0"
  fi
  # shellcheck disable=SC2086  # the seconds are words
  printf '%-40s %+.1f us per file (median), against the key floor of bench/password_keys.sh\n' \
    "a -m1 -p, $input, added" "$(calc "($(median ${TIMES["rar_add_password $input"]}) - $(median ${TIMES["rar_add $input"]})) * 1e6 / $files")"

  extracts=("rar_extract $input" "rar_extract_password $input" "tar_extract $input" "pigz_extract $input")
  [ -z "$before" ] || extracts+=("before_extract $input" "before_extract_password $input")
  in_turn "$runs" "${extracts[@]}"
  fast=$([ "$input" = small ] && echo 1.0 || echo 0.5)
  line "x, $input vs tar -xzf" "rar_extract $input" "tar_extract $input" "" "" "time <= $fast"
  line "x, $input vs pigz -dc | tar -x" "rar_extract $input" "pigz_extract $input" "" "" "time <= $fast"
  line "x -p, $input vs tar -xzf" "rar_extract_password $input" "tar_extract $input" "" "" "time <= $fast"
  line "x -p, $input vs pigz -dc | tar -x" "rar_extract_password $input" "pigz_extract $input" "" "" \
    "time <= $fast"
  line "x -p, $input vs x" "rar_extract_password $input" "rar_extract $input"
  if [ -n "$before" ]; then
    line "x, $input vs before" "rar_extract $input" "before_extract $input" "" "" "time <= 1.0"
    line "x -p, $input vs before" "rar_extract_password $input" "before_extract_password $input" "" "" \
      "time <= 1.0"
  fi
  # shellcheck disable=SC2086  # the seconds are words
  printf '%-40s %+.1f us per file (median), against the key floor of bench/password_keys.sh\n' \
    "x -p, $input, added" "$(calc "($(median ${TIMES["rar_extract_password $input"]}) - $(median ${TIMES["rar_extract $input"]})) * 1e6 / $files")"
  rm -rf "${work:?}/$input" "${out:?}"/*
done
