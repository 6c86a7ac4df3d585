#!/usr/bin/env bash
# The desktop check: the real program on a virtual X display with a window manager, driven by
# keys and clicks the way a person works, and the stored rows compared afterwards with exactly
# what the typing should have made. The scripted dialogs of the other tests cannot see focus,
# cursor positions or painting; this can.
#
#   desktop_check.sh VARDIMO VARDIMO_ADMIN OUTPUT_DIR
#
# A fresh small sample database; logon as MJONES; Setup, Goals: a goal, the "Goal" box, Home,
# typing, Save, Esc; Strategies: a strategy, Edit, the cursor in the middle of the "Strategy:"
# text, typing, Save, Esc; File, Exit. On failure it says what was expected and found and leaves
# screenshots in OUTPUT_DIR. Exits 77 (skipped) without Xvfb, openbox, xdotool or python3.
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 VARDIMO VARDIMO_ADMIN OUTPUT_DIR" >&2
    exit 2
fi
VARDIMO=$(realpath "$1")
ADMIN=$(realpath "$2")
OUT=$3
HERE=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb openbox xdotool python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (scripts/install-deps.sh installs it)"
        exit 77
    fi
done
HAVE_IMPORT=1
command -v import >/dev/null || HAVE_IMPORT=0

mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/vardimo.log
WORK=$(mktemp -d)
XVFB="" OPENBOX="" PROGRAM=""
STEP="starting"
STARTED=$SECONDS

cleanup() {
    local pid
    for pid in $PROGRAM $OPENBOX $XVFB; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $PROGRAM $OPENBOX $XVFB; do
        for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT

# The whole screen, kept in OUTPUT_DIR.
screenshot() {
    [ "$HAVE_IMPORT" = 1 ] || return 0
    import -window root "$OUT/$1.png" 2>/dev/null || true
}

# A step that could not be done: the screen as it is now, the program's output, the end.
fail() {
    echo "FAIL ($STEP): $*"
    screenshot failure
    [ -f "$OUT/failure.png" ] && echo "  the screen: $OUT/failure.png"
    if [ -s "$WORK/vardimo.log" ]; then
        cp "$WORK/vardimo.log" "$OUT/vardimo.log"
        echo "  program output: $OUT/vardimo.log"
    fi
    exit 1
}

program_running() {
    [ -n "$PROGRAM" ] && kill -0 "$PROGRAM" 2>/dev/null
}

# Waits for a shown window whose title is exactly $1; its id in WIN. A polling loop, not
# "search --sync": a menu closing while xdotool looks makes it fail with BadWindow, and a
# program that died meanwhile must end the wait at once.
window() {
    local id
    for _ in $(seq 200); do
        program_running || fail "the program ended while waiting for the window \"$1\""
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1 || true)
        if [ -n "$id" ]; then
            WIN=$id
            return
        fi
        sleep 0.1
    done
    fail "the window \"$1\" did not appear"
}

window_gone() {
    for _ in $(seq 100); do
        [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true)" ] && return
        sleep 0.1
    done
    fail "the window \"$1\" stayed open"
}

# Message boxes carry the program's title, as the main window does: one more such window is a
# message nobody expected.
no_message() {
    local n
    n=$(xdotool search --onlyvisible --name '^Vardimo$' 2>/dev/null | wc -l || true)
    [ "$n" -le 1 ] || fail "a message window is open"
}

activate() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || fail "could not activate window $1"
    # The window manager has given the focus; the program handles its focus-in before the keys.
    sleep 0.3
}

# A click at a point of a window, in the window's own coordinates (the screens have fixed
# sizes).
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}

keys() {
    xdotool key --delay 80 "$@"
}

type_text() {
    xdotool type --delay 50 "$1"
    sleep 0.3
}

export_table() {
    "$ADMIN" export "$1" "$WORK/db" >"$WORK/$1-$2.csv" || fail "vardimo-admin export $1 failed"
}

# ---- A database and a desktop -----------------------------------------------------------------

STEP="making the sample database"
"$ADMIN" create "$WORK/db" --sample small >/dev/null || fail "vardimo-admin create failed"
export_table goals before
export_table strategies before
# The program opens this folder whatever a vardimo-engine.ini beside it names.
printf '[Aliases]\nGoal=%s\n' "$WORK/db" >"$WORK/vardimo-engine.ini"

STEP="starting Xvfb and openbox"
exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
DISPLAY=:$(head -1 "$WORK/display")
export DISPLAY
unset XAUTHORITY
openbox >"$WORK/openbox.log" 2>&1 &
OPENBOX=$!
for _ in $(seq 100); do xdotool search --class openbox >/dev/null 2>&1 && break; sleep 0.1; done
xdotool search --class openbox >/dev/null 2>&1 || fail "openbox did not start: $(cat "$WORK/openbox.log")"

# ---- Logon ------------------------------------------------------------------------------------

STEP="logon"
mkdir -m 700 "$WORK/runtime"
(cd "$WORK/db" && exec env -u QT_QPA_PLATFORM ASAN_OPTIONS=detect_leaks=0 XDG_RUNTIME_DIR="$WORK/runtime" \
    VARDIMO_ENGINE_CONFIG="$WORK/vardimo-engine.ini" "$VARDIMO" -s) >"$WORK/vardimo.log" 2>&1 &
PROGRAM=$!
window Logon
LOGON=$WIN
activate "$LOGON"
type_text MJONES
keys Tab
type_text jones
keys Return
window_gone Logon
window Vardimo
MAIN=$WIN
no_message

# ---- Goals: a goal, Home in the "Goal" box, typing, Save ---------------------------------------

STEP="Goals screen"
activate "$MAIN"
keys alt+s g
window Goals
GOALS=$WIN
activate "$GOALS"
click "$GOALS" 160 117 # the second goal of the list
click "$GOALS" 600 192 # the "Goal" box
keys Home
GOAL_TYPED="XYZ"
type_text "$GOAL_TYPED"
screenshot goals-typed
# From the "Goal" box: "Goal For", Reset, Print, Insert, Save.
keys Tab Tab Tab Tab Tab space
sleep 0.5
no_message
keys Escape
window_gone Goals

# ---- Strategies: a strategy, Edit, the middle of the "Strategy:" text, typing, Save ------------

STEP="Strategies screen"
activate "$MAIN"
# Alt+S is the Setup menu's; Strategies is the next item of the menu bar.
keys alt+s Right Return
window Strategies
LIST=$WIN
activate "$LIST"
click "$LIST" 221 360 # the second strategy of the list
click "$LIST" 582 537 # Edit
window "Strategy Edit"
EDITOR=$WIN
activate "$EDITOR"
# The focus starts on the completion date; then "Completed", then the "Strategy:" text.
keys Tab Tab ctrl+Home
STRATEGY_AT=9
for _ in $(seq $STRATEGY_AT); do keys Right; done
STRATEGY_TYPED="XYZ"
type_text "$STRATEGY_TYPED"
screenshot strategy-typed
# From the "Strategy:" text on through the other texts, the marks and the date buttons, to Save
# (the editor's own focus order).
keys Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab space
window_gone "Strategy Edit"
no_message
activate "$LIST"
keys Escape
window_gone Strategies

# ---- File, Exit; then the stored rows ----------------------------------------------------------

STEP="exit"
activate "$MAIN"
keys alt+f e
for _ in $(seq 150); do program_running || break; sleep 0.1; done
program_running && fail "the program did not end after File, Exit"
status=0
wait "$PROGRAM" || status=$?
PROGRAM=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
if grep -E 'runtime error:|AddressSanitizer' "$WORK/vardimo.log" >/dev/null; then
    fail "the sanitizers reported: $(grep -E -m5 'runtime error:|AddressSanitizer' "$WORK/vardimo.log")"
fi

STEP="the stored rows"
export_table goals after
export_table strategies after
result=0
python3 "$HERE/stored_typing.py" "$WORK/goals-before.csv" "$WORK/goals-after.csv" \
    --what 'Goals screen, "Goal" box' --name "Goal ID" --column Goal \
    --at 0 --typed "$GOAL_TYPED" || result=1
# The goal's own text is in every strategy row: changed on the Goals screen above.
python3 "$HERE/stored_typing.py" "$WORK/strategies-before.csv" "$WORK/strategies-after.csv" \
    --what 'Strategy Edit, "Strategy:" text' --name "Goal ID" --name User --name "Strategy Number" \
    --column Strategy --ignore Goal --at "$STRATEGY_AT" --typed "$STRATEGY_TYPED" || result=1

echo "desktop check: $((SECONDS - STARTED)) s"
if [ "$result" -ne 0 ]; then
    echo "The screen right after the typing, before Save:"
    for shot in goals-typed strategy-typed; do
        [ -f "$OUT/$shot.png" ] && echo "  $OUT/$shot.png"
    done
    exit 1
fi
rm -f "$OUT"/*.png
echo "PASS"
