#!/bin/sh
# The window program without a display: --help and --version answer, --screenshot draws off
# screen, and a plain start says why it cannot show the window instead of aborting.
set -eu
trellune=$1
demo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The window keeps its working folder in the user's data folder when started elsewhere.
export HOME="$work" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work"
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

nodisplay "$trellune" --help >"$work/help"
grep -q -- '--screenshot' "$work/help"
grep -q -- '--phone' "$work/help"
nodisplay "$trellune" --version | grep -q '0\.21'

cd "$work"
nodisplay "$trellune" --screenshot shot.png "$demo/menus/mma_ucp_36" 2>/dev/null
head -c 8 shot.png | od -An -tx1 | grep -q '89 50 4e 47'

status=0
nodisplay "$trellune" 2>err || status=$?
[ "$status" -eq 1 ]
grep -q 'no display' err
echo ok
