#!/usr/bin/env bash
# The developer mode with real keys: F9 enters it from the main menu, the fly
# keys move the camera at 5.55 units a second (Q lifts straight up, W flies
# ahead; the bounds allow for a loaded machine, not for turbo speed), Space
# logs the position, F1 shows the performance graph (kept as dev_mode.png in
# the build folder), Tab the world map (dev_map.png), Print Screen saves a
# screenshot, F9 again goes on to play, and the game closes cleanly.
source "$(dirname "$0")/lib/common.sh"
BUILD_DIR=$(dirname "$GAME_DIR")
start_xvfb

start_game "$WORK/game.log"
# hold KEY SECONDS
hold() { xdotool keydown --window "$WIN" "$1"; sleep "$2"; xdotool keyup --window "$WIN" "$1"; sleep 0.4; }
# The last logged position: "x y z".
position() { sed -n 's/^at (\([-0-9.]*\) \([-0-9.]*\) \([-0-9.]*\))$/\1 \2 \3/p' "$log" | tail -n1; }
log_position() {
  local n
  n=$(grep -c "^at (" "$log" || true)
  keys space
  for _ in $(seq 50); do
    [ "$(grep -c "^at (" "$log" || true)" -gt "$n" ] && return 0
    sleep 0.1
  done
  fail "Space logged no position"
}

keys F9
log_position
read -r x0 y0 z0 < <(position)
hold q 1.5
log_position
read -r x1 y1 z1 < <(position)
awk -v a="$y0" -v b="$y1" 'BEGIN { d = b - a; exit !(d > 4.0 && d < 20.0) }' ||
  fail "Q held for 1.5 s moved the camera from y $y0 to $y1"
awk -v a="$x0" -v b="$x1" -v c="$z0" -v d="$z1" 'BEGIN { exit !((b-a)^2 + (d-c)^2 < 0.01) }' ||
  fail "Q moved the camera sideways"

hold w 1.0
log_position
read -r x2 y2 z2 < <(position)
awk -v a="$x1" -v b="$x2" -v c="$z1" -v d="$z2" 'BEGIN { s = sqrt((b-a)^2 + (d-c)^2); exit !(s > 2.5 && s < 15.0) }' ||
  fail "W held for 1 s moved the camera from ($x1 $z1) to ($x2 $z2)"

keys F1
sleep 1.5
if command -v import >/dev/null; then
  import -window "$WIN" "$BUILD_DIR/dev_mode.png" || fail "screenshot failed"
fi
keys F1

# Tab held shows the plug-in's map of the world (dev_map.png).
xdotool keydown --window "$WIN" Tab
sleep 1.5
if command -v import >/dev/null; then
  import -window "$WIN" "$BUILD_DIR/dev_map.png" || fail "screenshot failed"
fi
xdotool keyup --window "$WIN" Tab
sleep 0.4

# Print Screen saves a picture into the "shots" folder beside the program,
# which the game does not make (made and removed again here).
made_shots=""
[ -d "$GAME_DIR/shots" ] || { mkdir "$GAME_DIR/shots"; made_shots=1; }
keys Print
wait_for_log "$log" "screenshot captured to" 20 || fail "Print Screen saved no screenshot"
shot=$(sed -n "s/^screenshot captured to '\(.*\)' in [0-9]* ms$/\1/p" "$log" | tail -n1)
[ -s "$GAME_DIR/$shot" ] || fail "no screenshot file at $GAME_DIR/$shot"
rm -f "$GAME_DIR/$shot"
[ -z "$made_shots" ] || rmdir "$GAME_DIR/shots"

keys F9
sleep 1
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended"
keys alt+F4
wait_for_exit "$GAME_PID" 30 || fail "the game did not exit after Alt+F4"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "ok: flew from ($x0 $y0 $z0) to ($x2 $y2 $z2)"
