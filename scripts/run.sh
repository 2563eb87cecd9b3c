#!/usr/bin/env bash
# Installs, builds and runs the main job: the windowed program against the exchange
# simulator with its built-in KVT700-1 sample. Without a display it runs a headless
# demonstration with the command-line tool instead and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=build bash scripts/build.sh >/dev/null

link=$(mktemp -u /tmp/stanset-sim.XXXXXX)
./build/stanset-sim --link "$link" "$@" >/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "Simulated exchange on $link"

workdir=${STANSET_WORKDIR:-$PWD/build/workdir}
mkdir -p "$workdir"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    ./build/stanset --device "$link" --workdir "$workdir"
else
    echo "No display: a headless demonstration with stanset-cli instead of the window:"
    echo "the exchange's identity, a read of all tables into $workdir/sample.ats, and a"
    echo "short summary of that file (its system-wide settings and loudspeaker channels)."
    cli="$PWD/build/stanset-cli"
    cd "$workdir"
    "$cli" info --device "$link"
    "$cli" read --device "$link" --out sample.ats --force
    echo "Saved $workdir/sample.ats ($(stat -c %s sample.ats) bytes)"
    "$cli" dump sample.ats --tables allsys,ggs
fi
