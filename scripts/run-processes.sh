#!/usr/bin/env bash
# Starts the controller's processes and the log viewer; stops them by pid on
# Ctrl-C or when one of them ends.
set -uo pipefail
build=$1
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=/dev/null
source "$top/config/paths.env"

pids=()
stop() {
  trap - INT TERM EXIT
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; done
  sleep 0.5
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done
  wait 2>/dev/null
  echo "controller stopped"
}
trap stop INT TERM EXIT

"$build/sim/zelor-logview" &
pids+=($!)
sleep 0.2
"$ZELOR_BIN/brevan" &
pids+=($!)

echo "controller running (pids ${pids[*]}); Ctrl-C stops it"
wait -n
