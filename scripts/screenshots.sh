#!/usr/bin/env bash
# Takes the README's screenshots from the running program: a virtual X display with the openbox
# window manager (as a person's desktop has one), a fresh small sample database, a logon as a
# sample user, and one PNG per shot in docs/screenshots/.
#
#   bash scripts/screenshots.sh [BUILD_DIR]        (default: build; builds it when missing)
#
# To add a shot, write a function shot_NAME that opens the window from the main window and
# leaves it on screen, and add NAME to SHOTS. Each shot starts from the main window.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-build}
OUT=$ROOT/docs/screenshots
DISPLAY_NUM=${SCREENSHOT_DISPLAY:-:97}
SHOTS=(main-window strategy-editor)

for tool in Xvfb openbox xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing (scripts/install-deps.sh)"; exit 1; }
done
if [ ! -x "$BUILD/src/vardimo" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$BUILD" --target vardimo vardimo-admin
fi
BUILD=$(cd "$BUILD" && pwd)

WORK=$(mktemp -d)
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

Xvfb "$DISPLAY_NUM" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
PIDS+=($!)
export DISPLAY=$DISPLAY_NUM
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
PIDS+=($!)
sleep 1

"$BUILD/tools/vardimo-admin" create "$WORK/db" --sample small >/dev/null
mkdir -p "$OUT"

# Waits for a window whose title is exactly the given text; prints its id.
window() {
  xdotool search --sync --onlyvisible --name "^$1\$" | head -1
}

# Starts the program without the splash window and logs on as the sample manager.
start_program() {
  (cd "$WORK/db" && exec "$BUILD/src/vardimo" -S) >/dev/null 2>&1 &
  PROGRAM=$!
  PIDS+=("$PROGRAM")
  local logon
  logon=$(window Logon)
  xdotool windowactivate --sync "$logon"
  xdotool type --delay 20 MJONES
  xdotool key Tab
  xdotool type --delay 20 jones
  xdotool key Return
  MAIN=$(window Vardimo)
  xdotool windowactivate --sync "$MAIN"
  sleep 0.5
}

stop_program() {
  kill "$PROGRAM" 2>/dev/null || true
  wait "$PROGRAM" 2>/dev/null || true
}

# Saves a window with its frame.
capture() {
  import -frame -window "$1" "$OUT/$2.png"
  echo "wrote docs/screenshots/$2.png"
}

shot_main-window() {
  capture "$MAIN" main-window
}

# Clicks at a point of a window, in the window's own coordinates (the screens have fixed sizes).
click_in() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.5
}

# The strategy list from the menu bar, the sample manager's second strategy selected, Edit.
shot_strategy-editor() {
  click_in "$MAIN" 124 8 # Strategies
  local list editor
  list=$(window Strategies)
  sleep 0.5
  click_in "$list" 221 360 # the second row of the strategy grid
  click_in "$list" 582 537 # Edit
  editor=$(window "Strategy Edit")
  sleep 0.5
  capture "$editor" strategy-editor
}

for shot in "${SHOTS[@]}"; do
  start_program
  "shot_$shot"
  stop_program
done
