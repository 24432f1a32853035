#!/usr/bin/env bash
# Load on brevan in the system-test sandbox: brevan and the data-server peer
# (control mode "tcp", one answer per 4 ms tick, the real-time record
# rewritten every 3.9 ms), feedback settings with "cycle" 8 and every 30006
# field on, then the load program: command workloads on 29999 and 30003, ten
# clients on each feedback port. Not a test: run by hand or at the end of
# scripts/bench.sh.
#   bench/command_load.sh [build dir, default build/release] [seconds per run, default 60] [workload...]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$top/build/release}" && pwd)
seconds=${2:-60}
shift $(($# > 2 ? 2 : $#))
if [ "${INSIDE_SANDBOX:-}" != 1 ]; then
  exec env INSIDE_SANDBOX=1 "$top/tests/harness/isolate.sh" "$0" "$build" "$seconds" "$@"
fi
# shellcheck source=/dev/null
source "$top/config/paths.env"
function_dir="$ZELOR_PROJECT_DIR/settings/function"
mkdir -p "$function_dir"
echo '{"cycle": 8}' > "$function_dir/tcp30005Feedback.json"
python3 - "$function_dir/tcp30006Feedback.json" "$function_dir/tcp30006Feedback.json" <<'PY'
import json, sys
keys = list(json.load(open(sys.argv[1])).keys())
json.dump({**{k: True for k in keys if k != "cycle"}, "cycle": 8}, open(sys.argv[2] + ".new", "w"), indent=4)
PY
mv "$function_dir/tcp30006Feedback.json.new" "$function_dir/tcp30006Feedback.json"
work=$(mktemp -d)
"$build/sim/zelor-dataserver-peer" --tick --records tcp &
peer=$!
# brevan's console is its FIFO; its standard error (failed sends) goes to a file.
(cd "$work" && exec "$build/modules/brevan") >/dev/null 2>"$work/brevan.stderr" &
brevan=$!
trap 'kill -TERM $brevan $peer 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
"$build/bench/command_load" "$brevan" "$seconds" "$@"
