#!/usr/bin/env bash
# CPU cost of the service with a full store and nothing due: installs and starts zovsvc (local service
# backend) in a temporary program folder whose task.db holds ZOV_BENCH_TASKS scheduled copy tasks (default
# 850, a full store; 0 for none), each storage folder holding real backup sets (one copy set of five files
# made by the copy task, for today and the two days before, and its differential folder). The window runs
# from the service's start over its first passes for ZOV_BENCH_SECONDS (default 120). Prints the CPU time
# (utime + stime of the whole process, exited threads included) as a share of one core over the window and
# over the window less its first 10 s, the wake-ups (voluntary context switches) of its threads and the
# one-minute load at the start and end; target under 0.05% of a core after the first 10 s.
# Usage: bench/service_idle.sh [build folder]   (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh

build=${1:-build-bench}
seconds=${ZOV_BENCH_SECONDS:-120}
tasks=${ZOV_BENCH_TASKS:-850}
bench_build "$build" zovsvc zov-supervisor task_store_bench file_backup_bench rar

folder=$(mktemp -d /tmp/zovsvcbench_XXXXXX)
cleanup() {
  ZOV_SERVICE_BACKEND=local ZOV_PROGRAM_DIR=$folder/ "$folder/zovsvc" -uninstall >/dev/null 2>&1 || true
  rm -rf "$folder"
}
trap cleanup EXIT
# The local service manager starts the service through the supervisor beside it.
cp "$build/program/zovsvc" "$build/program/zov-supervisor" "$folder/"

# One real copy set of five files, made by the copy task from a source named "1" as task 1's is.
mkdir -p "$folder/made/program"
python3 bench/make_rar_trees.py small "$folder/made/1" 5
ZOV_PROGRAM_DIR=$folder/made/program/ "$build/bin/file_backup_bench" copy "$folder/made/1/" "$folder/made/storage" \
  "$(realpath "$build/program/rar")"
made=$(find "$folder/made/storage" -mindepth 2 -maxdepth 2 -type d -name '1_*')
if [ "$tasks" -gt 0 ]; then
  "$build/bin/task_store_bench" make "$folder/task.db" "$tasks"
  for ((id = 1; id <= tasks; id++)); do
    for days in 0 1 2; do
      day=$(date -d "-$days days" +%F)
      set_folder=$folder/s/$id/$day/${id}_$(date -d "-$days days" +%Y%m%d)010000
      mkdir -p "$set_folder"
      cp -a "$made/1" "$set_folder/$id"
    done
  done
fi
rm -rf "$folder/made"
sets=$(find "$folder/s" -mindepth 3 -maxdepth 3 -type d -name '*_*' 2>/dev/null | wc -l)

export ZOV_SERVICE_BACKEND=local ZOV_PROGRAM_DIR=$folder/
load_start=$(load_now)
"$folder/zovsvc" -install
status=$folder/run/services/zovsvcx.status
pid=
for _ in $(seq 100); do
  if [ -f "$status" ] && read -r reported state < "$status" && [ "$state" = 4 ]; then
    pid=$reported
    break
  fi
  sleep 0.1
done
[ -n "$pid" ] || { echo "the service did not report running" >&2; exit 1; }

ticks=$(getconf CLK_TCK)
# Seconds since the process started, and its CPU seconds so far (all threads, exited ones included).
age() { awk -v ticks="$ticks" -v up="$(cut -d' ' -f1 /proc/uptime)" '{ sub(/.*\) /, ""); printf "%.3f", up - $20 / ticks }' "/proc/$pid/stat"; }
cpu() { awk -v ticks="$ticks" '{ sub(/.*\) /, ""); printf "%.3f", ($12 + $13) / ticks }' "/proc/$pid/stat"; }
wakeups() { cat /proc/"$pid"/task/*/status | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s }'; }

until_age() { sleep "$(calc "($1 - $(age) > 0) ? $1 - $(age) : 0")"; }
until_age 10
cpu_early=$(cpu)
until_age "$seconds"
cpu_all=$(cpu)
window=$(age)
awk -v all="$cpu_all" -v early="$cpu_early" -v window="$window" -v tasks="$tasks" -v sets="$sets" \
  -v woke="$(wakeups)" -v load="$load_start -> $(load_now)" 'BEGIN {
  printf "zovsvc, %d tasks, %d sets: %.4f%% of one core over %.0f s from its start (%.0f ms), %.4f%% after its first 10 s (target < 0.05%%); %d wake-ups; load %s\n",
         tasks, sets, all / window * 100, window, all * 1000, (all - early) / (window - 10) * 100, woke, load
}'
