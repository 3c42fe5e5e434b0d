#!/usr/bin/env bash
# The load of task.db (CQelXML::Load) against reading the file and deciphering it alone, for stores of 100
# and 850 tasks (850 fill the store): min and median of ZOV_BENCH_RUNS runs (default 20) of each, in turn
# in one process, the first run (a new version of the file, whose records are checked for the report once), and the
# most heap held at once. Targets: load <= 2x the peer, peak <= 4x the file.
# Usage: bench/task_store.sh [build folder]   (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
runs=${ZOV_BENCH_RUNS:-20}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF -DZOV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "${ZOV_BENCH_JOBS:-3}" --target task_store_bench >/dev/null
bench="$build/bin/task_store_bench"

work=$(mktemp -d "${TMPDIR:-/tmp}/zovstore_XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "load: $(uptime | sed 's/.*load average: //')"
for tasks in 100 850; do
  "$bench" make "$work/task.db" "$tasks"
  size=$(stat -c %s "$work/task.db")
  { read -r load_min load_median load_first load_peak; read -r peer_min peer_median peer_first peer_peak; } \
    < <("$bench" compare "$work/task.db" "$runs")
  printf '%d tasks, task.db %d bytes:\n' "$tasks" "$size"
  printf '  load             min %7.3f ms  median %7.3f ms  first %7.3f ms  peak heap %8d bytes\n' \
    "$load_min" "$load_median" "$load_first" "$load_peak"
  printf '  read + decipher  min %7.3f ms  median %7.3f ms  first %7.3f ms  peak heap %8d bytes\n' \
    "$peer_min" "$peer_median" "$peer_first" "$peer_peak"
  printf '  load / peer %.2f (min), %.2f (median), target <= 2; peak / file %.2f, target <= 4\n' \
    "$(calc "$load_min / $peer_min")" "$(calc "$load_median / $peer_median")" "$(calc "$load_peak / $size")"
  rm -rf "$work/task.db" "$work/s"
done
