#!/usr/bin/env bash
# Without any display the game ends at once with exit code 100 and a message
# naming the display, instead of running unseen. A configured window larger
# than the screen opens fitted to the screen.
source "$(dirname "$0")/lib/common.sh"

export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
(cd "$WORK" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER QUILLMERE_NO_DIALOGS=1 \
  "$GAME" -360 -win >"$WORK/nodisplay.log" 2>"$WORK/nodisplay.err.log") &
GAME_PID=$!
wait_for_exit "$GAME_PID" 30 || fail "without a display the game kept running"
GAME_PID=""
[ "$EXIT_CODE" = 100 ] || fail "without a display: exit code $EXIT_CODE, expected 100"
grep -q "DISPLAY" "$WORK/nodisplay.err.log" || fail "the message does not name the display"
echo "no display: $(tr '\n' ' ' < "$WORK/nodisplay.err.log")"

start_xvfb   # a 1280 x 1024 screen
mkdir -p "$XDG_CONFIG_HOME/Quillmere"
printf 'int screen_wd 3000\nint screen_ht 2000\n' >"$XDG_CONFIG_HOME/Quillmere/config"
(cd "$WORK" && exec "$GAME" -win >"$WORK/game.log" 2>"$WORK/game.err.log") &
GAME_PID=$!
WIN=$(wait_for_window "Quillmere 0.22" 30) || fail "no window"
wait_for_log "$WORK/game.log" "first main menu frame" 120 || fail "no main-menu frame"
eval "$(xdotool getwindowgeometry --shell "$WIN")"
[ "$WIDTH" -le 1280 ] && [ "$HEIGHT" -le 1024 ] || fail "window ${WIDTH}x${HEIGHT} on a 1280x1024 screen"
grep -qF "larger than the screen" "$WORK/game.log" || fail "no log line for the fitted window"
xdotool key --window "$WIN" alt+F4
wait_for_exit "$GAME_PID" 60 || fail "the game did not exit"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "ok: no display refused; window fitted to ${WIDTH}x${HEIGHT}"
