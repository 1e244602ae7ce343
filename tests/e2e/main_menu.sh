#!/usr/bin/env bash
# The game starts, binds the gameobj plug-in, generates the main-menu world
# and shows it with the main menu over it; the menus answer real keys (a new
# game, a world of its universe, the game menu, back to the main menu) and
# Quit shuts the game down in order with exit code 0.
# Keeps a screenshot of the main menu in the build folder (main_menu.png) and
# prints the time from launch to the first main-menu frame.
source "$(dirname "$0")/lib/common.sh"
BUILD_DIR=$(dirname "$GAME_DIR")
start_xvfb

t0=$(date +%s%N)
(cd "$WORK" && exec "$GAME" -360 -win >"$WORK/game.log" 2>"$WORK/game.err.log") &
GAME_PID=$!
log="$WORK/game.log"

WIN=$(wait_for_window "Quillmere 0.22" 30) || fail "no window named 'Quillmere 0.22'"
for _ in $(seq 6000); do
  grep -qF "first main menu frame" "$log" 2>/dev/null && break
  kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended during start-up"
  sleep 0.01
done
t1=$(date +%s%N)
grep -qF "first main menu frame" "$log" || fail "no main-menu frame"
echo "start-up to the first main-menu frame: $(((t1 - t0) / 1000000)) ms"

# The main menu stands over the flying camera.
sleep 2
if command -v import >/dev/null; then
  import -window "$WIN" "$BUILD_DIR/main_menu.png" || fail "screenshot failed"
fi

xdotool windowfocus --sync "$WIN"

# New game: a universe, then its map.
keys Return
wait_for_log "$log" "menu Quillmere: New game" 20 || fail "Enter did not choose 'New game'"
wait_for_log "$log" "generated universe in" 60 || fail "no universe after 'New game'"
# The first world of the universe: generated and entered.
sleep 1
keys Return
wait_for_log "$log" "menu Universe:" 20 || fail "Enter did not choose a world"
n=$(grep -c "generated world in" "$log")
for _ in $(seq 600); do
  [ "$(grep -c "generated world in" "$log")" -ge 2 ] && break
  sleep 0.1
done
[ "$(grep -c "generated world in" "$log")" -ge 2 ] || fail "the chosen world was not generated ($n)"

# Escape opens the game menu; Down, Down, Enter picks "Main menu".
sleep 1
keys Escape Down Down Return
wait_for_log "$log" "menu Game menu: Main menu" 20 || fail "the game menu did not answer"
for _ in $(seq 600); do
  [ "$(grep -c "generated world in" "$log")" -ge 3 ] && break
  sleep 0.1
done
[ "$(grep -c "generated world in" "$log")" -ge 3 ] || fail "no main-menu world after 'Main menu'"

# Up wraps to "Quit".
sleep 1
keys Up Return
wait_for_log "$log" "menu Quillmere: Quit" 20 || fail "Up and Enter did not choose 'Quit'"
wait_for_exit "$GAME_PID" 60 || fail "the game did not exit after Quit"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"

# Start-up and shut-down in their order.
expect_in_order() {
  local prev=0 n
  for text in "$@"; do
    n=$(awk -v p="$prev" -v t="$text" 'NR > p && index($0, t) { print NR; exit }' "$log")
    [ -n "$n" ] || fail "missing or out of order: $text"
    prev=$n
  done
}
expect_in_order "Graphics quality: high" "game_rnd_seed=" "gameobj: init_inst_render" "gameobj: init_new_gui" \
  "gameobj: init_spells_ui" "gameobj: init_gameobj" "generated world in" "total start-up time:" \
  "first main menu frame" "closing..." "gameobj: close_game_menu" "gameobj: remove_all_gameobj" \
  "gameobj: close_spells_ui" "gameobj: close_gameobj" "ticks: " "closed all systems"
# After "closing...", exactly this sequence of the plug-in's lines.
got=$(sed -n '/^closing\.\.\.$/,$p' "$log" | grep "^gameobj: " | tr '\n' ' ')
want="gameobj: close_game_menu gameobj: remove_all_gameobj gameobj: close_spells_ui gameobj: close_gameobj "
[ "$got" = "$want" ] || fail "shut-down calls: $got"
echo "ok: main menu, menus by keys, clean quit"
