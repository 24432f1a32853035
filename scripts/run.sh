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
$SUDO mkdir -p "$ZELOR_BIN/bin" "$ZELOR_LUA_DIR" "$ZELOR_PROJECT_DIR"/{properties,settings,project,process}
$SUDO ln -sfn "$(command -v lua5.3)" "$ZELOR_LUA_INTERP"
$SUDO install -m 0755 "$build/tools/ombrel" "$build/tools/tramlet" "$build/modules/brevan" "$ZELOR_BIN/"
$SUDO install -m 0644 "$build/svr/libquillon.so" "$build/algs/libvantrel.so" "$build/utils/libutils.so" \
  "$build/plugin/libquillonPlugin.so" "$ZELOR_BIN/"
if [ ! -e "$ZELOR_PROJECT_DIR/.installed" ]; then
  $SUDO cp -a -n "$top/data/project/." "$ZELOR_PROJECT_DIR/"
  $SUDO touch "$ZELOR_PROJECT_DIR/.installed"
fi

# The processes share a private IPC namespace, so stopping them leaves no
# queue behind; their ports stay on the host's loopback.
exec $SUDO unshare --ipc -- "$top/scripts/run-processes.sh" "$build"
