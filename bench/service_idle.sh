#!/usr/bin/env bash
# Idle cost of the service: installs and starts zovsvc (local service backend) in a temporary program
# folder whose task.db holds ZOV_BENCH_TASKS tasks (default 850, a full store; 0 for none), measures the
# CPU time (utime + stime) of the service process over 120 s of idling, prints it as a share of one core
# (target: under 0.05%) with the wake-ups of its threads, then removes the service.
# Usage: bench/service_idle.sh [folder holding the built zovsvc]   (default: build/program; the store is
# written by task_store_bench of the bench build, ZOV_BENCH_BUILD, default build-bench)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
programs=${1:-${ZOV_PROGRAM_OUTPUT:-$root/build/program}}
seconds=${ZOV_BENCH_SECONDS:-120}
tasks=${ZOV_BENCH_TASKS:-850}
bench_build=${ZOV_BENCH_BUILD:-$root/build-bench}
[ -x "$programs/zovsvc" ] || { echo "no zovsvc in $programs (build first)" >&2; exit 1; }

folder=$(mktemp -d /tmp/zovsvcbench_XXXXXX)
export ZOV_SERVICE_BACKEND=local ZOV_PROGRAM_DIR=$folder/
cleanup() {
  "$folder/zovsvc" -uninstall >/dev/null 2>&1 || true
  rm -rf "$folder"
}
trap cleanup EXIT
cp "$programs/zovsvc" "$folder/"
if [ "$tasks" -gt 0 ]; then
  if [ ! -x "$bench_build/bin/task_store_bench" ]; then
    cmake -S "$root" -B "$bench_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF \
      -DZOV_BUILD_BENCH=ON >/dev/null
    cmake --build "$bench_build" --target task_store_bench >/dev/null
  fi
  "$bench_build/bin/task_store_bench" make "$folder/task.db" "$tasks"
fi

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
# Let the start-up (threads started 500 ms apart) pass before measuring.
sleep 5

# Nanoseconds on a CPU of all its threads (the first field of each thread's schedstat).
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d", s }'; }
# The voluntary context switches of all its threads: how often they went to sleep.
wakeups() { cat /proc/"$1"/task/*/status | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s }'; }

before=$(cpu_ns "$pid")
woke=$(wakeups "$pid")
sleep "$seconds"
after=$(cpu_ns "$pid")
woke=$(($(wakeups "$pid") - woke))
awk -v used=$((after - before)) -v seconds="$seconds" -v tasks="$tasks" -v woke="$woke" 'BEGIN {
  printf "zovsvc idle CPU, %d tasks: %.4f%% of one core (%.1f ms in %d s; target < 0.05%%); %d wake-ups\n",
         tasks, used / 1e9 / seconds * 100, used / 1e6, seconds, woke
}'
