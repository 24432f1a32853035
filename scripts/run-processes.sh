#!/usr/bin/env bash
# Starts the controller's processes and the log viewer; stops them by pid on
# Ctrl-C or when one of them ends.
set -uo pipefail
build=$1
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=/dev/null
source "$top/config/paths.env"

# Private /run and /var/run (this runs in its own mount namespace): pid files
# of the host-tool stubs stay out of the machine's own.
mount -t tmpfs -o mode=0755 tmpfs /run
[ -L /var/run ] || mount -t tmpfs -o mode=0755 tmpfs /var/run

# Every server listens on loopback only.
export ZELOR_LISTEN_ADDRESS=127.0.0.1

pids=()
names=()
started() { pids+=("$1"); names+=("$2"); }

# TERM to each, then up to 5 s for the host to release the robot and print its
# figures and for brevan to stop; whatever is left then is killed, by name.
stop() {
  trap - INT TERM EXIT
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; done
  for _ in $(seq 50); do
    alive=0
    for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ "$alive" -eq 0 ] && break
    sleep 0.1
  done
  for i in "${!pids[@]}"; do
    if kill -0 "${pids[$i]}" 2>/dev/null; then
      echo "killed ${names[$i]} (pid ${pids[$i]}): still running 5 s after TERM"
      kill -KILL "${pids[$i]}" 2>/dev/null
    fi
  done
  wait 2>/dev/null
  [ -z "${slide_marker:-}" ] || rm -f "$slide_marker"
  echo "controller stopped"
}
trap stop INT TERM EXIT

"$build/sim/zelor-logview" &
started $! zelor-logview
sleep 0.2

# The stand-in PLC-runtime host runs the installed data server (libquillon)
# every 4 ms; the data server's output (its FIFO) is copied into $quillon_log.
# The simulated arm starts inside the default project's joint limits, away from
# the stretched arm, so that it can be enabled and moved at once; left-handed
# (joint 2 below 0), the hand the kernel assumes until SetArmOrientation.
quillon_log=/tmp/zelor_quillon.log
"$build/sim/zelor-plc-host" --key 0x5A00 --data-server --quillon "$ZELOR_BIN/libquillon.so" \
  --fifo-log "$quillon_log" --start-joints 0,-90,-50,0 &
started $! zelor-plc-host

# brevan's console is its FIFO; its lines are copied to the terminal beside
# the log channels. brevan reuses the FIFO made here.
[ -p "$ZELOR_FIFO_BREVAN" ] || mkfifo -m 0777 "$ZELOR_FIFO_BREVAN"
sed -u 's/^/[brevan] /' <>"$ZELOR_FIFO_BREVAN" &
started $! "brevan console"
# temp.txt of the CPU-temperature publisher lies in the working directory.
(cd "$ZELOR_BIN" && exec "$ZELOR_BIN/brevan") &
started $! brevan

# With ZELOR_SIM_SLIDE=1: the simulated slide-rail drive on a pseudo-terminal
# and the installed driver on it, then the marker that tells the motion
# library the driver is online (removed by the stop, after the driver ends).
if [ -n "${ZELOR_SIM_SLIDE:-}" ]; then
  slide_dev=$(mktemp /tmp/zelor_slide_dev.XXXXXX)
  "$build/sim/zelor-slide-drive" >"$slide_dev" &
  started $! zelor-slide-drive
  for _ in $(seq 50); do [ -s "$slide_dev" ] && break; sleep 0.1; done
  "$ZELOR_BIN/tramlet" "$(head -n 1 "$slide_dev")" 1 > >(sed -u 's/^/[tramlet] /') &
  started $! tramlet
  rm -f "$slide_dev"
  slide_marker=/tmp/slidesOnline
  : >"$slide_marker"
fi

echo "controller running (pids ${pids[*]}); Ctrl-C stops it"
wait -n
