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

# 640 x 360: the main menu's panel stands below the middle; "New game" is
# its first button.
click 320 214
wait_for_log "$log" "menu Quillmere: New game" 20 || fail "the click did not choose 'New game'"
wait_for_log "$log" "generated universe in" 60 || fail "no universe after 'New game'"
sleep 1

# A wheel step forward over the map zooms in: the extent shrinks by a fifth.
xdotool mousemove --window "$WIN" 450 180
sleep 0.3
xdotool click --window "$WIN" 4
wait_for_log "$log" "universe map: centre" 20 || fail "the wheel did not reach the map"
extent1=$(grep -oE "extent [0-9]+" "$log" | tail -n1 | grep -oE "[0-9]+")

# A left drag pans: the first world moves with the pointer.
read -r x0 y0 < <(last_world_pos)
xdotool mousemove --window "$WIN" 450 180 mousedown --window "$WIN" 1
sleep 0.2
for step in 1 2 3 4 5; do
  xdotool mousemove --window "$WIN" $((450 - step * 8)) $((180 + step * 4))
  sleep 0.1
done
xdotool mouseup --window "$WIN" 1
sleep 0.5
read -r x1 y1 < <(last_world_pos)
[ "$x1" -lt "$x0" ] && [ "$y1" -gt "$y0" ] || fail "the drag did not pan the map: ($x0, $y0) -> ($x1, $y1)"
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
