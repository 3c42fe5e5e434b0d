#!/usr/bin/env bash
# Installs the Debian packages the build ("build") or the build and the tests ("test") need, when missing.
set -euo pipefail

build_packages=(build-essential cmake ninja-build pkg-config libssl-dev libpcre2-dev libarchive-dev libisal-dev
  libacl1-dev libcurl4-openssl-dev unixodbc unixodbc-dev odbcinst tdsodbc mariadb-client libmariadb-dev
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n fonts-wqy-microhei)
test_packages=(libgtest-dev libgmock-dev procps clang-format python3 acl libarchive-tools mariadb-server-core
  p7zip-full)

wanted=("${build_packages[@]}")
if [ "${1:-build}" = "test" ]; then
  wanted+=("${test_packages[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

# How long a running installation of someone else is waited for.
readonly lock_wait_seconds=600
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
apt=("${sudo_cmd[@]}" env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get -o "DPkg::Lock::Timeout=$lock_wait_seconds")

# apt-get waits for the package manager's lock by itself, but "update" fails at once while another update
# holds the lock of the package lists: it is tried again then, within the same bound.
update_package_lists() {
  local deadline=$((SECONDS + lock_wait_seconds)) output
  until output=$("${apt[@]}" update -qq 2>&1); do
    if ! grep -q "Could not get lock" <<<"$output" || [ "$SECONDS" -ge "$deadline" ]; then
      echo "$output" >&2
      return 1
    fi
    echo "Waiting for another package installation to finish"
    sleep 5
  done
  [ -z "$output" ] || echo "$output"
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  update_package_lists
  "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi
