#!/usr/bin/env bash
# Command load on brevan in the system-test sandbox: brevan and the
# data-server peer (control mode "tcp"), then the load program against port
# 29999. Not a test: run by hand or at the end of scripts/bench.sh.
#   bench/command_load.sh [build dir, default build/release] [seconds, default 60]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$top/build/release}" && pwd)
seconds=${2:-60}
if [ "${INSIDE_SANDBOX:-}" != 1 ]; then
  exec env INSIDE_SANDBOX=1 "$top/tests/harness/isolate.sh" "$0" "$build" "$seconds"
fi
work=$(mktemp -d)
"$build/sim/zelor-dataserver-peer" tcp &
peer=$!
(cd "$work" && exec "$build/modules/brevan") >/dev/null &
brevan=$!
trap 'kill -TERM $brevan $peer 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
"$build/bench/command_load" "$brevan" "$seconds"
