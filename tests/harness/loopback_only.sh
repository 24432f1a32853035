#!/usr/bin/env bash
# Runs one unit test in a fresh network namespace with only loopback up, so no
# code under test (a bus that dials its configured master, say) can reach
# another host.
#   loopback_only.sh <program> [args...]
set -euo pipefail
if [ "${1:-}" != "--inside" ]; then
  userns=()
  [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
  exec unshare "${userns[@]}" --net -- "$0" --inside "$@"
fi
shift
ip link set lo up
exec "$@"
