#!/usr/bin/env bash
# Runs every benchmark from the optimised build, each in its own IPC and
# network namespaces (loopback only).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/build-release.sh"
for b in "$top"/build/release/bench/*_bench; do
  echo "== $(basename "$b")"
  unshare --ipc --net -- sh -c 'ip link set lo up && exec "$0" "$@"' "$b" "$@"
done
echo "== command load"
"$top/bench/command_load.sh" "$top/build/release"
echo "== command load, real data server and kernel"
"$top/bench/command_load.sh" --real "$top/build/release"
