# Shared by the benchmark scripts (sourced): arithmetic and wall-clock timing of one command.

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

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
