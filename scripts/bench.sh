#!/usr/bin/env bash
# Runs every benchmark from the optimised build, each in its own IPC and
# network namespace (loopback up), so fixed keys and ports never collide.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/build-release.sh"
for b in "$top"/build/release/bench/*_bench; do
  echo "== $(basename "$b")"
  unshare --ipc --net -- bash -c 'ip link set lo up && exec "$@"' bench "$b" "$@"
done
echo "== command load"
"$top/bench/command_load.sh" "$top/build/release"
