#!/usr/bin/env bash
# The menus and the universe map under a real mouse: a click on "New game",
# on the map a wheel step (zoom in) and a left drag (pan), a click on the
# first world's icon where the map says it now stands, the world entered;
# Escape and a click on "Main menu" in the game menu, then a click on "Quit".
# Keeps gui_universe_zoomed.png in the build folder.
source "$(dirname "$0")/lib/common.sh"
start_xvfb

log="$WORK/game.log"
(cd "$WORK" && exec "$GAME" -360 -win >"$log" 2>"$WORK/game.err.log") &
GAME_PID=$!
WIN=$(wait_for_window "Quillmere 0.22" 30) || fail "no game window"
wait_for_log "$log" "first main menu frame" 60 || fail "no main-menu frame"
sleep 1
xdotool windowfocus --sync "$WIN"

new_game_by_click
# The wheel zooms in (the extent shrinks by a fifth), a left drag pans: the
# first world moves with the pointer.
wheel_and_drag_map -8 4
extent1=$(grep -oE "extent [0-9]+" "$log" | tail -n1 | grep -oE "[0-9]+")
x1=$MAP_X y1=$MAP_Y
sleep 0.5
shot gui_universe_zoomed.png

# A click on the first world's icon enters it (when it is on the screen).
if [ "$x1" -gt 170 ] && [ "$x1" -lt 630 ] && [ "$y1" -gt 10 ] && [ "$y1" -lt 350 ]; then
  click "$x1" "$y1"
  wait_for_log "$log" "universe map: world 0 clicked" 20 || fail "the click on the icon was not seen"
else
  fail "the first world left the screen ($x1, $y1) after zoom $extent1"
fi
wait_for_log "$log" "entered world #0 in" 60 || fail "world 0 was not entered"
sleep 1

# Escape: the game menu over the world; its third button is "Main menu".
xdotool key --window "$WIN" Escape
sleep 1
click 320 264
wait_for_log "$log" "menu Game menu: Main menu" 20 || fail "the click did not choose 'Main menu'"
sleep 3
# The main menu's last button: "Quit".
click 320 302
wait_for_log "$log" "menu Quillmere: Quit" 20 || fail "the click did not choose 'Quit'"
wait_for_exit "$GAME_PID" 60 || fail "the game did not exit after Quit"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "ok: menus and the universe map by the mouse"
