#!/usr/bin/env bash
# Installs what is missing, builds, and shows what the plug-in reports.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${BUILD_DIR:-$top/build}"

if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  cat <<'HELP'
usage: ./run.sh

Builds the plug-in and runs the host program against it:
  extio_host info build/ExtIO_Tavrin_SDR.so

With a real receiver, run the host program (or the standalone window) in
the directory that holds your sdr_config.ini:
  cd ~/radio && /path/to/build/extio_host info /path/to/build/ExtIO_Tavrin_SDR.so
The plug-in reads ./sdr_config.ini and writes ./extio_log.txt there.
HELP
  exit 0
fi

"$top/scripts/install_deps.sh"
BUILD_DIR="$build" "$top/scripts/build.sh"
work="$(mktemp -d /tmp/wavedeck-run-XXXXXX)"
cd "$work"
echo "== working directory: $work"
"$build/extio_host" info "$build/ExtIO_Tavrin_SDR.so"
