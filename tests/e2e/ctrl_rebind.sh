#!/usr/bin/env bash
# Rebinding a control with the real mouse and keyboard: "New game" clicked,
# on the universe map a wheel step and a drag, a click on the first world,
# Escape, "Controls" clicked in the game menu, Forward's key box clicked and
# K pressed; back in the world W no longer flies but K does (straight from
# the castle gate into the portal ahead). Through the warp back to the map,
# the main menu and Quit. A second start finds K stored for Forward and the
# controls screen (opened from the main menu) shows it.
# Keeps ctrl_main_menu.png, ctrl_universe_first.png, ctrl_universe.png, ctrl_world.png,
# ctrl_game_menu.png, ctrl_controls_wait.png, ctrl_controls.png and
# ctrl_controls_again.png in the build folder.
source "$(dirname "$0")/lib/common.sh"
start_xvfb
CONFIG="$XDG_CONFIG_HOME/Quillmere/config"

# ---- first run ----
log="$WORK/game1.log"
start_game "$log"
shot ctrl_main_menu.png

new_game_by_click
shot ctrl_universe_first.png
# The map right of the list: a wheel step zooms in, a left drag pans.
wheel_and_drag_map 6 4
x1=$MAP_X y1=$MAP_Y
xdotool mousemove --window "$WIN" 630 20  # the pointer off the map's icons
sleep 0.5
shot ctrl_universe.png

# The first world's icon where the map now shows it.
[ "$x1" -gt 170 ] && [ "$x1" -lt 630 ] && [ "$y1" -gt 10 ] && [ "$y1" -lt 350 ] ||
  fail "the first world left the screen ($x1, $y1)"
click "$x1" "$y1"
wait_for_log "$log" "universe map: world 0 clicked" 20 || fail "the click on the icon was not seen"
wait_for_log "$log" "entered world #0 in" 60 || fail "world 0 was not entered"
sleep 1
shot ctrl_world.png

# Escape: the game menu; its fifth button is "Controls".
xdotool key --window "$WIN" Escape
sleep 1
shot ctrl_game_menu.png
click 320 302
wait_for_log "$log" "controls screen: Forward W," 20 || fail "the click did not open the controls screen"
sleep 0.5

# Forward's key box (the first row's box, at the panel's right), then K with
# the pointer still over it.
click 380 90
sleep 0.3
shot ctrl_controls_wait.png
xdotool key --window "$WIN" k
wait_for_log "$log" "controls: Forward = K" 10 || fail "the key box did not take K"
grep -qxF 'str B_forward "#75"' "$CONFIG" || fail "K is not stored for Forward: $(cat "$CONFIG")"
sleep 0.5
shot ctrl_controls.png

# Escape: the game menu again; Escape once more: the world.
keys Escape
wait_for_log "$log" "menu Controls: Back" 10 || fail "Escape did not leave the controls screen"
keys Escape
sleep 1

# W held no longer flies; K held flies into the portal 10 units ahead.
xdotool keydown --window "$WIN" w
sleep 2
xdotool keyup --window "$WIN" w
grep -qF "the player entered a portal" "$log" && fail "W still flies forward"
xdotool keydown --window "$WIN" k
wait_for_log "$log" "the player entered a portal" 6 || { xdotool keyup --window "$WIN" k; fail "K did not fly forward"; }
xdotool keyup --window "$WIN" k
wait_for_log "$log" "back in the universe after" 120 || fail "the warp did not lead back to the universe"
sleep 1
keys Up Return  # the map's last item: "Main menu"
wait_for_log "$log" "menu Universe: Main menu" 20 || fail "no way from the map to the main menu"
sleep 2
click 320 302  # the main menu's last button: "Quit"
wait_for_log "$log" "menu Quillmere: Quit" 20 || fail "the click did not choose 'Quit'"
wait_for_exit "$GAME_PID" 60 || fail "the game did not exit after Quit"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"

# ---- second run: the binding is still there ----
log="$WORK/game2.log"
start_game "$log"
click 320 257  # "Controls", the main menu's third button
wait_for_log "$log" "controls screen: Forward K," 20 || fail "Forward is not on K after a restart"
grep -qxF 'str B_forward "#75"' "$CONFIG" || fail "the stored binding changed: $(cat "$CONFIG")"
sleep 0.5
shot ctrl_controls_again.png
keys Escape
wait_for_log "$log" "menu Controls: Back" 10 || fail "Escape did not leave the controls screen"
sleep 1
click 320 302  # "Quit"
wait_for_exit "$GAME_PID" 60 || fail "the game did not exit after Quit"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "ok: Forward rebound to K by the mouse and keyboard, and kept"
