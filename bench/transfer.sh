#!/usr/bin/env bash
# How close a read-all and a write-all of the full KVT700-1 sample come to the line speed.
#
# For each operation the simulator counts the bytes that crossed the line both ways; the
# lower bound is those bytes at 11 bits each plus the pauses the protocol prescribes
# (200 ms before a read-all's link check, 10 ms after the count of key table 13).
# Then the same unthrottled: wall time and the tool's CPU time per transferred byte.
#
#   BUILD=build bash bench/transfer.sh [baud]
#
# BENCH_RT=1 runs the simulator and the tool at a real-time priority (chrt, needs the right
# to use it) so that on a busy machine the figures measure the program, not its neighbours.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD:-$ROOT/build}"
BAUD="${1:-19200}"
SIM="$BUILD/stanset-sim"
CLI="$BUILD/stanset-cli"
for p in "$SIM" "$CLI"; do
  [[ -x "$p" ]] || { echo "transfer.sh: $p is missing; build the targets stanset-sim and stanset-cli" >&2; exit 1; }
done

PRIO=()
if [[ "${BENCH_RT:-0}" == 1 ]]; then
  chrt -f 10 true 2>/dev/null && PRIO=(chrt -f 10) || echo "transfer.sh: chrt refused; normal priority" >&2
fi

WORK="$(mktemp -d)"
SIM_PID=""
cleanup() {
  [[ -n "$SIM_PID" ]] && kill -INT "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

start_sim() {  # baud (0: unthrottled)
  rm -f "$WORK/ats" "$WORK/sim.err"
  local args=(--link "$WORK/ats")
  [[ "$1" != 0 ]] && args+=(--baud "$1")
  "${PRIO[@]}" "$SIM" "${args[@]}" >"$WORK/sim.out" 2>"$WORK/sim.err" &
  SIM_PID=$!
  for _ in $(seq 100); do [[ -e "$WORK/ats" ]] && return 0; sleep 0.05; done
  echo "transfer.sh: the simulator did not start" >&2
  exit 1
}

stop_sim() {  # prints "received sent"
  kill -INT "$SIM_PID"
  wait "$SIM_PID" || true
  SIM_PID=""
  sed -n 's/^stanset-sim: \([0-9]*\) bytes received, \([0-9]*\) bytes sent$/\1 \2/p' "$WORK/sim.err"
}

run_tool() {  # op file -> "wall user sys" of the tool
  local op="$1" file="$2"
  rm -f "$WORK/tool.err"
  local TIMEFORMAT='%3R %3U %3S'
  if [[ "$op" == read ]]; then
    { time "${PRIO[@]}" "$CLI" read --device "$WORK/ats" --workdir "$WORK" --out "$file" --force 2>>"$WORK/tool.err"; } 2>&1
  else
    { time "${PRIO[@]}" "$CLI" write --device "$WORK/ats" --workdir "$WORK" --in "$file" 2>>"$WORK/tool.err"; } 2>&1
  fi
}

measure() {  # baud op -> "wall user sys received sent"
  local baud="$1" op="$2" times bytes
  start_sim "$baud"
  if ! times="$(run_tool "$op" "$WORK/sample.ats")"; then
    echo "transfer.sh: $op failed:" >&2
    cat "$WORK/tool.err" >&2
    exit 1
  fi
  bytes="$(stop_sim)"
  echo "$times $bytes"
}

# The sample as a file, for the writes.
start_sim 0
run_tool read "$WORK/sample.ats" >/dev/null || { cat "$WORK/tool.err" >&2; exit 1; }
stop_sim >/dev/null

echo "Transfer of the full KVT700-1 sample, simulator at $BAUD baud (11 bits a byte)${PRIO:+, real-time priority}"
printf '%-6s %10s %10s %8s %10s %10s %7s\n' op received sent pauses_s bound_s wall_s ratio
for op in read write; do
  read -r wall _ _ rx tx < <(measure "$BAUD" "$op")
  pauses=0
  [[ "$op" == read ]] && pauses=0.210
  awk -v op="$op" -v rx="$rx" -v tx="$tx" -v p="$pauses" -v w="$wall" -v baud="$BAUD" 'BEGIN {
    bound = (rx + tx) * 11 / baud + p
    printf "%-6s %10d %10d %8.3f %10.3f %10.3f %7.3f\n", op, rx, tx, p, bound, w, w / bound }'
done

echo
echo "Unthrottled"
printf '%-6s %10s %10s %10s %14s\n' op bytes wall_s cpu_s cpu_us_per_byte
for op in read write; do
  read -r wall user sys rx tx < <(measure 0 "$op")
  awk -v op="$op" -v n="$((rx + tx))" -v w="$wall" -v u="$user" -v s="$sys" 'BEGIN {
    cpu = u + s
    printf "%-6s %10d %10.3f %10.3f %14.3f\n", op, n, w, cpu, cpu * 1e6 / n }'
done
echo
echo "The simulator itself waits 2 ms before answering each of the 40 group-book reads and each"
echo "system-wide or time-settings write (a real exchange is never quicker); that is in wall_s."
