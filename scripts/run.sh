#!/usr/bin/env bash
# Builds the programs, installs them (the service zovsvc and its supervisor zov-supervisor, the management
# program stowmeran and the archiver) into the program folder (default /opt/zov) and installs and starts the
# service there (systemd when it runs, otherwise the service's own supervisor).
set -euo pipefail
cd "$(dirname "$0")/.."

program_dir=${ZOV_INSTALL_DIR:-/opt/zov}
scripts/install-deps.sh build
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOV_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc)"
cmake --install build-release --prefix "$program_dir" >/dev/null

"$program_dir/zovsvc" -install
"$program_dir/zovsvc" -version
for program in zovsvc zov-supervisor stowmeran rar; do
    [ -x "$program_dir/$program" ] || { echo "$program_dir/$program was not installed" >&2; exit 1; }
done
echo "Programs installed in $program_dir. Stop and remove the service with: $program_dir/zovsvc -uninstall"
echo "Open the management program with: $program_dir/stowmeran (see README.md for ssh -X and VNC)"
