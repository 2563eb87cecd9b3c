#!/usr/bin/env bash
# Installs, builds and runs the main job: the exchange simulator with its built-in
# KVT700-1 sample, and the probe that identifies it over the pseudo-terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=build bash scripts/build.sh

link=$(mktemp -u /tmp/stanset-sim.XXXXXX)
./build/stanset-sim --link "$link" "$@" >/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "Simulated exchange on $link"
./build/stanset-probe --device "$link"
