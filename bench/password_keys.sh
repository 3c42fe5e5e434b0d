#!/usr/bin/env bash
# Compares the archiver's password keys (PBKDF2-HMAC-SHA1, 1,000 rounds, 66 bytes per encrypted entry) with
# OpenSSL's PKCS5_PBKDF2_HMAC_SHA1 and nettle's pbkdf2_hmac_sha1, on one thread and on every core, each way
# the processor has, all in turn in one process and checked to make the same keys as OpenSSL.
# Prints per line: ours and the peer (min/median seconds, keys per second), the ratio of the medians (and of
# the minimums), the runs and the one-minute load at the start and end. The every-core line of the way
# marked * is the key floor of an encrypted archive: its entries / those keys per second.
# Usage: bench/password_keys.sh [build folder]   (default build-bench)
# ZOV_BENCH_SALTS (default 4,096 per run), ZOV_BENCH_RUNS (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
build=${1:-build-bench}
need_packages nettle-dev
bench_build "$build" password_keys_bench
"$build/bin/password_keys_bench" "${ZOV_BENCH_SALTS:-4096}" "${ZOV_BENCH_RUNS:-5}"
