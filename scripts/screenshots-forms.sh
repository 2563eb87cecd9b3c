#!/bin/sh
# Pictures of the composition, clock, options, clearing and constructor windows, taken
# under Xvfb with the real X11 platform.
#   scripts/screenshots-forms.sh [build folder] [picture folder]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
shots=${2:-"$build/screenshots"}
mkdir -p "$shots"
cmake --build "$build" --target small_forms_uitest
STANSET_FORM_SHOTS="$shots" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/small_forms_uitest" screenshots
ls "$shots"/*.png
