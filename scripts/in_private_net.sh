#!/usr/bin/env bash
# Runs a command inside private user, network and mount namespaces with only
# loopback up, so that nothing it does can reach beyond this machine. The
# receiver's default address and discovery broadcasts exist only in here.
set -euo pipefail
if [ "${WAVEDECK_IN_NAMESPACE:-}" != 1 ]; then
  exec unshare -rnm env WAVEDECK_IN_NAMESPACE=1 "$0" "$@"
fi
ip link set lo up
exec "$@"
