#!/usr/bin/env bash
# Builds the programs and installs them into the program folder (default /opt/zov).
set -euo pipefail
cd "$(dirname "$0")/.."

program_dir=${ZOV_INSTALL_DIR:-/opt/zov}
scripts/install-deps.sh build
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc)"
cmake --install build-release --prefix "$program_dir" >/dev/null
echo "Programs installed in $program_dir:"
ls -1 "$program_dir"
