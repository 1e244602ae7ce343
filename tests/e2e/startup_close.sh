#!/usr/bin/env bash
# The real program in a real window: it starts in the specified order, keeps
# the tick rate of the fixed-step loop, and a real Alt+F4 closes it cleanly
# with exit code 0.
source "$(dirname "$0")/lib/common.sh"
start_xvfb

(cd "$WORK" && exec "$GAME" -360 -win >"$WORK/game.log" 2>"$WORK/game.err.log") &
GAME_PID=$!

WIN=$(wait_for_window "Quillmere 0.22" 30) || fail "no window named 'Quillmere 0.22'"
wait_for_log "$WORK/game.log" "total start-up time:" 60 || fail "start-up did not finish"
geom=$(xdotool getwindowgeometry "$WIN")
echo "$geom" | grep -q "Geometry: 640x360" || fail "window is not 640x360: $geom"
sleep 3

xdotool windowfocus --sync "$WIN"
xdotool key alt+F4
wait_for_exit "$GAME_PID" 30 || fail "the game did not exit after Alt+F4"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"

log="$WORK/game.log"
expect_in_order() {
  local prev=0 n
  for text in "$@"; do
    n=$(grep -nF -- "$text" "$log" | head -n1 | cut -d: -f1)
    [ -n "$n" ] || fail "missing log line: $text"
    [ "$n" -ge "$prev" ] || fail "log line out of order: $text"
    prev=$n
  done
}
expect_in_order "app path: '$GAME_DIR/'" "starting d3d in 640x360" "init d3d ok (640x360)" \
  "total start-up time:" "free video memory:" "closing..." "closed all systems"

read -r ticks ms < <(sed -n 's/^ticks: \([0-9]*\) in \([0-9]*\) ms$/\1 \2/p' "$log")
[ -n "${ticks:-}" ] || fail "no tick count in the log"
read -r frames < <(sed -n 's/^frames: \([0-9]*\) in [0-9]* ms$/\1/p' "$log")
[ -n "${frames:-}" ] || fail "no frame count in the log"
rate=$(awk -v t="$ticks" -v m="$ms" 'BEGIN { printf "%.2f", (t - 1) * 1000 / m }')
fps=$(awk -v f="$frames" -v m="$ms" 'BEGIN { printf "%.2f", f * 1000 / m }')
# The world runs on real time: 20 ticks a second whatever the frame rate
# (ticks themselves are short here).
awk -v r="$rate" 'BEGIN { exit !(r >= 19.0 && r <= 21.0) }' ||
  fail "tick rate $rate per second at $fps frames per second"
echo "ok: clean close, $ticks ticks at $rate per second, $fps frames per second"
