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
ip link set lo up
mount -t tmpfs -o mode=0755 tmpfs "$ZELOR_ROOT"
mount -t tmpfs -o mode=1777 tmpfs /tmp
mkdir -p "$ZELOR_BIN/bin" "$ZELOR_LUA_DIR" \
  "$ZELOR_PROJECT_DIR"/{properties,settings,project,process}
cp -a "$here/../../data/project/." "$ZELOR_PROJECT_DIR/"
if [ -n "${ZELOR_FIXTURE:-}" ]; then
  cp -a "$ZELOR_FIXTURE/." "$ZELOR_PROJECT_DIR/"
fi
exec "$@"
