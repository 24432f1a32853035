#!/usr/bin/env bash
# Load on brevan in the system-test sandbox: brevan and the data-server peer
# (control mode "tcp", one answer per 4 ms tick, the real-time record
# rewritten every 3.9 ms), feedback settings with "cycle" 8 and every 30006
# field on, then the load program: command workloads on 29999 and 30003, ten
# clients on each feedback port. With --real, brevan talks to the real data
# server and kernel under the stand-in PLC-runtime host instead of the peer;
# the load program enables the arm first. Not a test: run by hand or at the
# end of scripts/bench.sh.
#   bench/command_load.sh [--real] [build dir, default build/release] [seconds per run, default 60] [workload...]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
real=()
if [ "${1:-}" = --real ]; then
  real=(--real)
  shift
fi
build=$(cd "${1:-$top/build/release}" && pwd)
seconds=${2:-60}
shift $(($# > 2 ? 2 : $#))
if [ "${INSIDE_SANDBOX:-}" != 1 ]; then
  exec env INSIDE_SANDBOX=1 "$top/tests/harness/isolate.sh" "$0" "${real[@]}" "$build" "$seconds" "$@"
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
if [ ${#real[@]} -eq 0 ]; then
  "$build/sim/zelor-dataserver-peer" --tick --records tcp &
else
  # The data server (libquillon with libvantrel and the simulated drives),
  # cycled every 4 ms; the arm starts inside the project's joint limits.
  "$build/sim/zelor-plc-host" --key 0x5A00 --data-server --quillon "$build/svr/libquillon.so" \
    --fifo-log "$work/quillon.log" --start-joints 0,-90,-50,0 2>"$work/host.stderr" &
  for _ in $(seq 300); do
    grep -q "Quillon started" "$work/quillon.log" 2>/dev/null && break
    sleep 0.1
  done
fi
server=$!
# brevan's console is its FIFO; its standard error (failed sends) goes to a file.
(cd "$work" && exec "$build/modules/brevan") >/dev/null 2>"$work/brevan.stderr" &
brevan=$!
trap 'kill -TERM $brevan $server 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
"$build/bench/command_load" "${real[@]}" "$brevan" "$seconds" "$@"
