#!/usr/bin/env bash
# Runs one system test in fresh IPC, network, mount and PID namespaces with a
# temporary installation root on /zelor, a private /tmp, /run and /sys/class
# (all tmpfs), so fixed ports, log queues, shared memories, semaphores, pid and
# marker files never collide between tests or leak, and every process a test
# started ends with it. The host-tool stubs of sim/host_tools come first on
# the PATH and log their arguments into $ZELOR_HOST_TOOLS_LOG.
#   isolate.sh <program> [args...]
# ZELOR_FIXTURE (optional): a folder copied over /zelor/userdata/project after
# the default project tree.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ "${1:-}" != "--inside" ]; then
  [ -d /zelor ] || mkdir -p /zelor
  # The "/project/..." paths reach the installation's project folder.
  if [ -L /project ]; then
    [ "$(readlink /project)" = /zelor/userdata/project ] || {
      echo "isolate.sh: /project links elsewhere; not touching it" >&2
      exit 2
    }
  elif [ -e /project ]; then
    echo "isolate.sh: /project exists and is not our link; not touching it" >&2
    exit 2
  else
    ln -s /zelor/userdata/project /project
  fi
  userns=()
  [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
  exec unshare "${userns[@]}" --ipc --net --mount --pid --fork --kill-child --mount-proc --propagation private -- \
    "$0" --inside "$@"
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

# Private /run (pid files such as /var/run/lan_udhcpc.pid) and /sys/class
# with a fake GPIO tree and CPU temperature.
mount -t tmpfs -o mode=0755 tmpfs /run
mount -t tmpfs -o mode=0755 tmpfs /sys/class
mkdir -p /sys/class/gpio /sys/class/thermal/thermal_zone0
: > /sys/class/gpio/export
: > /sys/class/gpio/unexport
echo 45000 > /sys/class/thermal/thermal_zone0/temp

mkdir -p "$ZELOR_BIN/bin" "$ZELOR_LUA_DIR" "$ZELOR_MODE_DIR" \
  "$ZELOR_PROJECT_DIR"/{properties,settings,project,process,process/identify,process/pallet}
: > "$ZELOR_SEM_KEY_FILE"
# An ftok path of the queues; part of every Debian system.
[ -d /root ] || { echo "isolate.sh: /root is missing" >&2; exit 2; }
export PATH="$top/sim/host_tools:$PATH"
export ZELOR_HOST_TOOLS_LOG=/tmp/host_tools.log
cp -a "$here/../../data/project/." "$ZELOR_PROJECT_DIR/"
if [ -n "${ZELOR_FIXTURE:-}" ]; then
  cp -a "$ZELOR_FIXTURE/." "$ZELOR_PROJECT_DIR/"
fi
exec "$@"
