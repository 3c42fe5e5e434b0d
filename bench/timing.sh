# shellcheck shell=bash
# Shared by the benchmark scripts (sourced): timing, median and minimum, commands run in turn with the
# order rotated, the load, verification of outputs and the printed line.

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.6f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
least() { printf '%s\n' "$@" | sort -g | head -1; }
load_now() { cut -d' ' -f1 /proc/loadavg; }

# Seconds one run of the command takes, its output discarded; the script ends when it fails. Each run starts
# with the page cache written back, so that no run pays for an earlier one's writes.
seconds() {
  local start end
  sync
  start=$(date +%s.%N)
  "$@" >/dev/null || { echo "failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  calc "$end - $start"
}

# in_turn RUNS COMMAND...: each run times every command once, the first of them one further on each run, so
# that none always follows the same one. A command is a string split into words ("rar_add small"). Before
# each command `bench_before COMMAND` and after it `bench_verify COMMAND` are called when the script defines
# them (outside the timing): the one clears its output, the other checks it. The seconds of each run are in
# TIMES[COMMAND], the run count in RUNS_DONE, the one-minute load before and after in LOAD_AT.
declare -A TIMES
RUNS_DONE=0 LOAD_AT=
in_turn() {
  local runs=$1 run i command
  shift
  local commands=("$@")
  for command in "${commands[@]}"; do TIMES[$command]=""; done
  LOAD_AT=$(load_now)
  for ((run = 0; run < runs; run++)); do
    for ((i = 0; i < ${#commands[@]}; i++)); do
      command=${commands[$(((i + run) % ${#commands[@]}))]}
      if declare -F bench_before >/dev/null; then bench_before "$command"; fi
      # shellcheck disable=SC2086  # a command is its words
      TIMES[$command]+="$(seconds $command) "
      if declare -F bench_verify >/dev/null; then bench_verify "$command"; fi
    done
  done
  RUNS_DONE=$runs
  LOAD_AT+=" -> $(load_now)"
}

# line NAME OURS PEER [SIZE_OURS SIZE_PEER] [TARGET]: one printed line for two commands timed by in_turn:
# min and median of each, the ratio of the medians (and of the minimums), the size ratio when sizes are
# given, the runs and the load.
line() {
  local name=$1 ours=$2 peer=$3 size=${4:-} peer_size=${5:-} target=${6:-}
  local om ol pm pl
  # shellcheck disable=SC2086  # the seconds are words
  om=$(median ${TIMES[$ours]}) ol=$(least ${TIMES[$ours]}) pm=$(median ${TIMES[$peer]}) pl=$(least ${TIMES[$peer]})
  local sizes="size  -   "
  [ -z "$size" ] || sizes=$(printf 'size %.3f' "$(calc "$size / $peer_size")")
  printf '%-40s ours %7.2f/%7.2f s  peer %7.2f/%7.2f s  ratio %5.2f (min %5.2f)  %s  runs %d  load %s%s\n' \
    "$name" "$ol" "$om" "$pl" "$pm" "$(calc "$om / $pm")" "$(calc "$ol / $pl")" "$sizes" "$RUNS_DONE" \
    "$LOAD_AT" "${target:+  target $target}"
}

# same_tree SOURCE COPY: ends the script unless the two trees hold the same names, contents and links.
same_tree() {
  diff -r --no-dereference "$1" "$2" >/dev/null || { echo "output differs from its source: $2 vs $1" >&2; exit 1; }
}

# The packages the peers come from, installed when missing.
need_packages() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ "${#missing[@]}" -eq 0 ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# bench_build FOLDER TARGET...: a Release build of the given targets, with the benchmark helpers (whose
# configuration needs nettle).
bench_build() {
  local build=$1
  shift
  need_packages nettle-dev
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF -DZOV_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" -j "${ZOV_BENCH_JOBS:-3}" --target "$@" >/dev/null
}

# bench_work NAME GIB: sets work to an empty folder on an ext4 made for this run (with a journal, as mkfs
# makes it) in a sparse image of GIB GiB under ZOV_BENCH_DIR (default $TMPDIR or /tmp), unmounted and deleted
# when the script ends. On a fresh file system no run pays for the files an earlier one deleted: an ext4
# without a journal, as some machines' root is, searches past every recently freed inode when it creates one.
bench_work() {
  BENCH_IMAGE=$(mktemp -d "${ZOV_BENCH_DIR:-${TMPDIR:-/tmp}}/$1_XXXXXX")
  trap 'umount "$work" 2>/dev/null; rm -rf "$BENCH_IMAGE"' EXIT
  truncate -s "$2G" "$BENCH_IMAGE/fs.img"
  mkfs.ext4 -q -F "$BENCH_IMAGE/fs.img"
  work=$BENCH_IMAGE/fs
  mkdir "$work"
  mount -o loop "$BENCH_IMAGE/fs.img" "$work"
}
