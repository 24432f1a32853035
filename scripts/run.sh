#!/usr/bin/env bash
# Builds the controller, prepares the installation root and starts it in
# simulation on loopback, in the foreground. Ctrl-C stops everything it started.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/build-release.sh"
# shellcheck source=/dev/null
source "$top/config/paths.env"
build="$top/build/release"

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# Installation root: programs where the system launches them, the Lua
# interpreter link, and the default project on first start.
# The "/project/..." paths reach the installation's project folder; anything
# else already at /project is left alone.
if [ -L /project ]; then
  [ "$(readlink /project)" = "$ZELOR_PROJECT_DIR" ] || { echo "run.sh: /project links elsewhere; stopping" >&2; exit 2; }
elif [ -e /project ]; then
  echo "run.sh: /project exists and is not our link; stopping" >&2
  exit 2
else
  $SUDO ln -s "$ZELOR_PROJECT_DIR" /project
fi
$SUDO mkdir -p "$ZELOR_BIN/bin" "$ZELOR_LUA_DIR" "$ZELOR_MODE_DIR" "$ZELOR_PROJECT_DIR"/{properties,settings,project,process}
[ -e "$ZELOR_SEM_KEY_FILE" ] || $SUDO touch "$ZELOR_SEM_KEY_FILE"
# The pid file belongs to the DHCP stub of an earlier run.
$SUDO rm -f /var/run/lan_udhcpc.pid
$SUDO ln -sfn "$(command -v lua5.3)" "$ZELOR_LUA_INTERP"
$SUDO install -m 0755 "$build/tools/ombrel" "$build/tools/tramlet" "$build/modules/brevan" "$ZELOR_BIN/"
$SUDO install -m 0644 "$build/svr/libquillon.so" "$build/algs/libvantrel.so" "$build/utils/libutils.so" \
  "$build/plugin/libquillonPlugin.so" "$ZELOR_BIN/"
if [ ! -e "$ZELOR_PROJECT_DIR/.installed" ]; then
  $SUDO cp -a -n "$top/data/project/." "$ZELOR_PROJECT_DIR/"
  $SUDO touch "$ZELOR_PROJECT_DIR/.installed"
fi

# The processes share private IPC and PID namespaces, so stopping them leaves
# no queue and no background process behind; their ports stay on the host's
# loopback. The host-tool stubs come first on the PATH of every process.
exec $SUDO env PATH="$top/sim/host_tools:$PATH" ZELOR_HOST_TOOLS_LOG=/tmp/zelor_host_tools.log \
  unshare --ipc --pid --fork --kill-child --mount --mount-proc -- "$top/scripts/run-processes.sh" "$build"
