#!/usr/bin/env bash
# Builds the sanitized configuration (AddressSanitizer + UBSan) and runs every
# test. Benchmarks are built here too, so they never rot; they run from the
# optimised build (scripts/bench.sh).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"

build="$top/build/test"
jobs=$(nproc)
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/zelor-ccache}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELOR_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$jobs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$build"
ctest --output-on-failure -j "$jobs"
