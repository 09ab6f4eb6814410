#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test inside a private
# network namespace.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${BUILD_DIR:-$top/build}"

"$top/scripts/install_deps.sh"
BUILD_DIR="$build" "$top/scripts/build.sh"
"$top/scripts/in_private_net.sh" \
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
