#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing (Debian).
set -euo pipefail

packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev binutils python3
  libcli11-dev nlohmann-json3-dev libreadline-dev pkg-config)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root or install them)" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
