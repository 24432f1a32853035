#!/usr/bin/env bash
# Installs every Debian package the build, the controller and the tests need.
# Idempotent and non-interactive; run as root (or through sudo).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config ccache
  libspdlog-dev libfmt-dev rapidjson-dev libjsoncpp-dev libeigen3-dev
  libsimpleini-dev libevent-dev libmodbus-dev qt6-base-dev
  liblua5.3-dev lua5.3
  libgtest-dev libgmock-dev libbenchmark-dev liborocos-kdl-dev
  iproute2 util-linux binutils curl procps socat python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
