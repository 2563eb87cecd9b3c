#!/usr/bin/env bash
# Pictures of the windows: the simulator plays a KVT700-1 (or what the options given say,
# e.g. --model RD16), the program reads it under Xvfb and saves PNGs of the main window
# after the read, of each panel, the start-up dialog, a menu and the about boxes.
#   scripts/screenshots.sh [OUT_DIR] [simulator options...]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
shift || true
BUILD_DIR=${BUILD_DIR:-build}

if [ ! -x "$BUILD_DIR/stanset" ] || [ ! -x "$BUILD_DIR/stanset-sim" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
    cmake --build "$BUILD_DIR" --target stanset stanset-sim
fi
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (Debian package xvfb)" >&2; exit 1; }

work=$(mktemp -d /tmp/stanset-shots.XXXXXX)
link="$work/ats"
"$BUILD_DIR/stanset-sim" --link "$link" "$@" >/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || { echo "the simulator did not start" >&2; exit 1; }

mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$BUILD_DIR/stanset" --device "$link" --workdir "$work" --screenshot "$out"
ls "$out"/*.png
