#!/usr/bin/env bash
# Installs the Debian packages the build ("build") or the build and the tests ("test") need, when missing.
set -euo pipefail

build_packages=(build-essential cmake ninja-build pkg-config libssl-dev libpcre2-dev libarchive-dev libisal-dev
  libacl1-dev libcurl4-openssl-dev unixodbc unixodbc-dev odbcinst tdsodbc mariadb-client libmariadb-dev
  qt6-base-dev qt6-qpa-plugins fonts-wqy-microhei)
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

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
