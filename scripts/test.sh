#!/usr/bin/env bash
# Builds the sanitized configuration (AddressSanitizer + UBSan) and runs every
# test. Benchmarks are built here too, so they never rot; they run from the
# optimised build (scripts/bench.sh).
#   --tsan   builds the ThreadSanitizer configuration into build/tsan instead
#            and runs the threaded suites (tests of lib/, svr/ and modules/).
# Warnings fail the build (-Werror) in both configurations.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

mode=asan
case "${1:-}" in
  "") ;;
  --tsan) mode=tsan ;;
  *) echo "usage: $0 [--tsan]" >&2; exit 2 ;;
esac

"$top/scripts/setup.sh"

jobs=$(nproc)
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/zelor-ccache}"

if [[ $mode == tsan ]]; then
  build="$top/build/tsan"
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELOR_TSAN=ON -DZELOR_WERROR=ON \
    -DZELOR_BENCH=OFF >/dev/null
  # The threaded suites and what their system tests start.
  cmake --build "$build" -j "$jobs" --target lib_tests lib_systests svr_tests svr_systests modules_tests \
    modules_systests
  export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=0:second_deadlock_stack=1:exitcode=66}"
  cd "$build"
  ctest --output-on-failure -j "$jobs" -L '^(lib|svr|modules)_'
  exit
fi

build="$top/build/test"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELOR_SANITIZE=ON -DZELOR_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$build"
ctest --output-on-failure -j "$jobs"
