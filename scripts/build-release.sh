#!/usr/bin/env bash
# Builds the optimised configuration (what the controller and the benchmarks run).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/zelor-ccache}"
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELOR_TESTS=OFF >/dev/null
cmake --build "$top/build/release" -j "$(nproc)"
