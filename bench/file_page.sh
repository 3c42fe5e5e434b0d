#!/usr/bin/env bash
# The file page on Qt's offscreen platform: the log view loading a day file of 100,000 records against reading
# and parsing the file alone, its reload after 100 new lines, and the task list filling from the fullest store
# (850 tasks) against the store's load alone. Min and median of ZOV_BENCH_RUNS runs (default 10) in one
# process each. Targets: load <= 3x the peer, reload < 20 ms, fill < 300 ms.
# Usage: bench/file_page.sh [build folder]   (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
runs=${ZOV_BENCH_RUNS:-10}
records=${ZOV_BENCH_RECORDS:-100000}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF -DZOV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "${ZOV_BENCH_JOBS:-3}" --target file_page_bench task_store_bench >/dev/null
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d "${TMPDIR:-/tmp}/zovpage_XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "load: $(uptime | sed 's/.*load average: //')"

"$build/bin/task_store_bench" make "$work/task.db" 850
declare -A min median
while read -r name fastest middle; do
  min[$name]=$fastest
  median[$name]=$middle
done < <("$build/bin/file_page_bench" fill "$work" "$runs" 2>/dev/null
         "$build/bin/file_page_bench" log "$work" "$records" "$runs" 2>/dev/null)

for name in store-load list-fill read+parse view-load view-reload-100; do
  printf '  %-16s min %8.3f ms  median %8.3f ms\n' "$name" "${min[$name]}" "${median[$name]}"
done
printf 'list fill of 850 tasks: %.1f ms (median), target < 300 ms; the store load alone %.1f ms\n' \
  "${median[list-fill]}" "${median[store-load]}"
printf 'log view load of %d records / read and parse alone: %.2f (min), %.2f (median), target <= 3\n' "$records" \
  "$(calc "${min[view-load]} / ${min[read+parse]}")" "$(calc "${median[view-load]} / ${median[read+parse]}")"
printf 'log view reload after 100 lines: %.2f ms (median), target < 20 ms\n' "${median[view-reload-100]}"
