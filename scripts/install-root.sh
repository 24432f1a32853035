#!/usr/bin/env bash
# Installs a build of the controller into the installation root: programs
# where the system launches them, the Lua interpreter link, and the default
# project on first start.
#   install-root.sh <build-dir>
set -euo pipefail
build=$(cd "${1:?usage: install-root.sh <build-dir>}" && pwd)
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=/dev/null
source "$top/config/paths.env"

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# The "/project/..." paths reach the installation's project folder; anything
# else already at /project is left alone.
if [ -L /project ]; then
  [ "$(readlink /project)" = "$ZELOR_PROJECT_DIR" ] || { echo "install-root.sh: /project links elsewhere; stopping" >&2; exit 2; }
elif [ -e /project ]; then
  echo "install-root.sh: /project exists and is not our link; stopping" >&2
  exit 2
else
  $SUDO ln -s "$ZELOR_PROJECT_DIR" /project
fi
$SUDO mkdir -p "$ZELOR_BIN/bin" "$ZELOR_LUA_DIR" "$ZELOR_MODE_DIR" "$ZELOR_PROJECT_DIR"/{properties,settings,project,process,process/identify,process/pallet}
[ -e "$ZELOR_SEM_KEY_FILE" ] || $SUDO touch "$ZELOR_SEM_KEY_FILE"
$SUDO ln -sfn "$(command -v lua5.3)" "$ZELOR_LUA_INTERP"
$SUDO install -m 0755 "$build/tools/ombrel" "$build/tools/tramlet" "$build/modules/brevan" "$ZELOR_BIN/"
$SUDO install -m 0644 "$build/svr/libquillon.so" "$build/algs/libvantrel.so" "$build/utils/libutils.so" \
  "$build/plugin/libquillonPlugin.so" "$ZELOR_BIN/"
# The robot programs' start script and the script functions' option list.
$SUDO install -D -m 0644 "$top/plugin/install/zelor.lua" "$ZELOR_LUA_DIR/zelor.lua"
$SUDO install -D -m 0644 "$top/plugin/install/api.ini" "$ZELOR_API_INI"
if [ ! -e "$ZELOR_PROJECT_DIR/.installed" ]; then
  $SUDO cp -a -n "$top/data/project/." "$ZELOR_PROJECT_DIR/"
  $SUDO touch "$ZELOR_PROJECT_DIR/.installed"
fi
