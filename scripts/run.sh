#!/usr/bin/env bash
# Builds the controller, prepares the installation root and starts it in
# simulation on loopback, in the foreground. Ctrl-C stops everything it started.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/build-release.sh"
build="$top/build/release"

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

"$top/scripts/install-root.sh" "$build"

# The processes share private IPC and PID namespaces, so stopping them leaves
# no queue and no background process behind; their ports stay on the host's
# loopback. The host-tool stubs come first on the PATH of every process.
exec $SUDO env PATH="$top/sim/host_tools:$PATH" ZELOR_HOST_TOOLS_LOG=/tmp/zelor_host_tools.log \
  ZELOR_SIM_SLIDE="${ZELOR_SIM_SLIDE:-}" \
  unshare --ipc --pid --fork --kill-child --mount --mount-proc -- "$top/scripts/run-processes.sh" "$build"
