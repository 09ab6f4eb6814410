#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, if
# any is missing. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev qtbase5-dev-tools qtbase5-private-dev libxcb1-dev
  libhidapi-dev
  libfuse3-dev fuse3
  googletest libgtest-dev libbenchmark-dev
  iproute2 util-linux
  xvfb xauth fonts-liberation
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
