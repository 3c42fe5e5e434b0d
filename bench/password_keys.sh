#!/usr/bin/env bash
# The archiver's password keys per second on one thread, each way this processor has, against OpenSSL's
# PBKDF2 in the same run. Usage: bench/password_keys.sh [build folder]   (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF -DZOV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "${ZOV_BENCH_JOBS:-3}" --target password_keys_bench >/dev/null
echo "load: $(uptime | sed 's/.*load average: //')"
"$build/bin/password_keys_bench" "${ZOV_BENCH_SALTS:-4096}"
