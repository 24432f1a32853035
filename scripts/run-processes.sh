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
  [ -z "${slide_marker:-}" ] || rm -f "$slide_marker"
  echo "controller stopped"
}
trap stop INT TERM EXIT

"$build/sim/zelor-logview" &
pids+=($!)
sleep 0.2

# The stand-in PLC-runtime host runs the installed data server (libquillon)
# every 4 ms; the data server's output (its FIFO) is copied into $quillon_log.
# The simulated arm starts inside the default project's joint limits, away from
# the stretched arm, so that it can be enabled and moved at once.
quillon_log=/tmp/zelor_quillon.log
"$build/sim/zelor-plc-host" --key 0x5A00 --data-server --quillon "$ZELOR_BIN/libquillon.so" \
  --fifo-log "$quillon_log" --start-joints 0,90,-50,0 &
pids+=($!)

# brevan's console is its FIFO; its lines are copied to the terminal beside
# the log channels. brevan reuses the FIFO made here.
[ -p "$ZELOR_FIFO_BREVAN" ] || mkfifo -m 0777 "$ZELOR_FIFO_BREVAN"
sed -u 's/^/[brevan] /' <>"$ZELOR_FIFO_BREVAN" &
pids+=($!)
# temp.txt of the CPU-temperature publisher lies in the working directory.
(cd "$ZELOR_BIN" && exec "$ZELOR_BIN/brevan") &
pids+=($!)

# With ZELOR_SIM_SLIDE=1: the simulated slide-rail drive on a pseudo-terminal
# and the installed driver on it, then the marker that tells the motion
# library the driver is online (removed by the stop, after the driver ends).
if [ -n "${ZELOR_SIM_SLIDE:-}" ]; then
  slide_dev=$(mktemp /tmp/zelor_slide_dev.XXXXXX)
  "$build/sim/zelor-slide-drive" >"$slide_dev" &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$slide_dev" ] && break; sleep 0.1; done
  "$ZELOR_BIN/tramlet" "$(head -n 1 "$slide_dev")" 1 > >(sed -u 's/^/[tramlet] /') &
  pids+=($!)
  rm -f "$slide_dev"
  slide_marker=/tmp/slidesOnline
  : >"$slide_marker"
fi

echo "controller running (pids ${pids[*]}); Ctrl-C stops it"
wait -n
