#!/usr/bin/env bash
# Runs one system test in fresh IPC, network and mount namespaces with a
# temporary installation root on /zelor and a private /tmp (both tmpfs), so
# fixed ports, log queues, shared memories, semaphores and marker files never
# collide between tests or leak.
#   isolate.sh <program> [args...]
# ZELOR_FIXTURE (optional): a folder copied over /zelor/userdata/project after
# the default project tree.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ "${1:-}" != "--inside" ]; then
  [ -d /zelor ] || mkdir -p /zelor
  userns=()
  [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
  exec unshare "${userns[@]}" --ipc --net --mount --propagation private -- "$0" --inside "$@"
fi
shift

# shellcheck source=/dev/null
source "$here/../../config/paths.env"
top=$(cd "$here/../.." && pwd)
program=$(readlink -f "$1")

ip link set lo up
mount -t tmpfs -o mode=0755 tmpfs "$ZELOR_ROOT"

# Private /tmp. A checkout or build that lies under /tmp is bound back in
# through a descriptor opened before the old /tmp is covered.
keep=()
for path in "$top" "$(dirname "$program")"; do
  case "$path" in /tmp/*) keep+=("/tmp/$(echo "${path#/tmp/}" | cut -d/ -f1)") ;; esac
done
fd=20
for path in "${keep[@]}"; do eval "exec $fd<\"$path\""; fd=$((fd + 1)); done
mount -t tmpfs -o mode=1777 tmpfs /tmp
fd=20
for path in "${keep[@]}"; do
  mkdir -p "$path"
  mount --no-canonicalize --bind "/proc/self/fd/$fd" "$path"
  eval "exec $fd<&-"
  fd=$((fd + 1))
done

mkdir -p "$ZELOR_BIN/bin" "$ZELOR_LUA_DIR" \
  "$ZELOR_PROJECT_DIR"/{properties,settings,project,process}
cp -a "$here/../../data/project/." "$ZELOR_PROJECT_DIR/"
if [ -n "${ZELOR_FIXTURE:-}" ]; then
  cp -a "$ZELOR_FIXTURE/." "$ZELOR_PROJECT_DIR/"
fi
exec "$@"
