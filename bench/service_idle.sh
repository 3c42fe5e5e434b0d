#!/usr/bin/env bash
# Idle cost of the service: installs and starts zovsvc (local service backend) in a temporary program
# folder, measures the CPU time (utime + stime) of the service process over 60 s of idling, prints it as a
# share of one core (target: under 0.2%), then removes the service.
# Usage: bench/service_idle.sh [folder holding the built zovsvc]   (default: build/program)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
programs=${1:-${ZOV_PROGRAM_OUTPUT:-$root/build/program}}
seconds=${ZOV_BENCH_SECONDS:-60}
[ -x "$programs/zovsvc" ] || { echo "no zovsvc in $programs (build first)" >&2; exit 1; }

folder=$(mktemp -d /tmp/zovsvcbench_XXXXXX)
export ZOV_SERVICE_BACKEND=local ZOV_PROGRAM_DIR=$folder/
cleanup() {
  "$folder/zovsvc" -uninstall >/dev/null 2>&1 || true
  rm -rf "$folder"
}
trap cleanup EXIT
cp "$programs/zovsvc" "$folder/"

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

# Fields 14 and 15 of /proc/<pid>/stat, counted after the name in parentheses.
ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }

before=$(ticks "$pid")
sleep "$seconds"
after=$(ticks "$pid")
hz=$(getconf CLK_TCK)
awk -v used=$((after - before)) -v hz="$hz" -v seconds="$seconds" 'BEGIN {
  printf "zovsvc idle CPU: %.3f%% of one core (%d ticks of 1/%d s in %d s; target < 0.2%%)\n",
         used / hz / seconds * 100, used, hz, seconds
}'
