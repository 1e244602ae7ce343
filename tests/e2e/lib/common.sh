# Shared helpers of the end-to-end tests: a private Xvfb server, private
# config/data folders, and waiting for windows and log lines.
set -euo pipefail

GAME=${1:?usage: $0 path/to/game}
GAME_DIR=$(cd "$(dirname "$GAME")" && pwd)
WORK=$(mktemp -d)
XVFB_PID=""
GAME_PID=""

cleanup() {
  [ -n "$GAME_PID" ] && kill -9 "$GAME_PID" 2>/dev/null || true
  # Waited for: a server still going away holds its display's socket, which
  # the next test's server may be given the number of.
  [ -n "$XVFB_PID" ] && { kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; } || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for f in "$WORK"/*.log; do [ -f "$f" ] && { echo "--- $f"; tail -n 40 "$f"; } >&2; done
  exit 1
}

start_xvfb() {
  local fdfile="$WORK/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  # The display number is complete once its line ends.
  for _ in $(seq 100); do
    [ "$(wc -l <"$fdfile")" -ge 1 ] && break
    sleep 0.05
  done
  [ "$(wc -l <"$fdfile")" -ge 1 ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fdfile")"
  # On a busy machine the server may name its display before a client can
  # connect; the game would then find no display and stop.
  for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.1
  done
  xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb on $DISPLAY accepts no client"
  export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_RUNTIME_DIR="$WORK/run"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  export ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1
}

# wait_for_window NAME SECONDS -> prints the window id
wait_for_window() {
  local name=$1 secs=$2 id=""
  for _ in $(seq $((secs * 10))); do
    id=$(xdotool search --name "^${name}\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# wait_for_exit PID SECONDS -> sets EXIT_CODE
wait_for_exit() {
  local pid=$1 secs=$2
  for _ in $(seq $((secs * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      set +e; wait "$pid"; EXIT_CODE=$?; set -e
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# wait_for_log FILE TEXT SECONDS
wait_for_log() {
  local file=$1 text=$2 secs=$3
  for _ in $(seq $((secs * 10))); do
    grep -qF -- "$text" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# count FILE TEXT: how many lines of FILE hold TEXT (0 for no file).
count() { grep -cF -- "$2" "$1" 2>/dev/null || true; }

# wait_count FILE TEXT N SECONDS: until TEXT is in FILE at least N times.
wait_count() {
  local file=$1 text=$2 n=$3 secs=$4
  for _ in $(seq $((secs * 10))); do
    [ "$(count "$file" "$text")" -ge "$n" ] && return 0
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while waiting for: $text"
    sleep 0.1
  done
  return 1
}

# start_game LOG: starts the game at 640 x 360 in a window, its output in LOG
# (errors beside it), and waits for its first main-menu frame; sets GAME_PID,
# WIN and log, and gives the window the focus.
start_game() {
  log=$1
  (cd "$WORK" && exec "$GAME" -360 -win >"$log" 2>"${log%.log}.err.log") &
  GAME_PID=$!
  WIN=$(wait_for_window "Quillmere 0.22" 30) || fail "no window named 'Quillmere 0.22'"
  for _ in $(seq 600); do
    grep -qF "first main menu frame" "$log" 2>/dev/null && break
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended during start-up"
    sleep 0.1
  done
  grep -qF "first main menu frame" "$log" || fail "no main-menu frame"
  sleep 1
  xdotool windowfocus --sync "$WIN"
}

# keys KEY...: one real key press each, with time for the game to see it.
keys() {
  for k in "$@"; do
    xdotool key --window "$WIN" "$k"
    sleep 0.4
  done
}

# click X Y: a real left click at window pixel (X, Y).
click() {
  xdotool mousemove --window "$WIN" "$1" "$2"
  sleep 0.3
  xdotool click --window "$WIN" 1
  sleep 0.4
}

# monsters_off: the developer's Ctrl+M in the main menu, so that the worlds
# made next get no creatures (they would change the pictures or bring the
# player down).
monsters_off() {
  xdotool keydown --window "$WIN" ctrl
  sleep 0.4
  keys m
  xdotool keyup --window "$WIN" ctrl
  wait_for_log "$log" "gameobj: monster spawn off" 5 || fail "monster spawning did not switch off"
}

# shot NAME: a screenshot of the game's window kept in the build folder.
shot() {
  if command -v import >/dev/null; then
    import -window "$WIN" "$(dirname "$GAME_DIR")/$1" || fail "screenshot $1 failed"
  fi
}

# Where the universe map last logged its first world: "x y".
last_world_pos() { grep -oE "world 0 at -?[0-9]+ -?[0-9]+" "$log" | tail -n1 | grep -oE -- "-?[0-9]+ -?[0-9]+$"; }

# new_game_by_click: "New game", the main menu's first button (its panel
# stands below the middle of the 640 x 360 window), clicked; waits for the
# universe map.
new_game_by_click() {
  click 320 214
  wait_for_log "$log" "menu Quillmere: New game" 20 || fail "the click did not choose 'New game'"
  wait_for_log "$log" "generated universe in" 60 || fail "no universe after 'New game'"
  sleep 1
}

# wheel_and_drag_map DX DY: over the universe map at (450, 180) one wheel step
# forward (zoom in), then a left drag of 5 steps of (DX, DY) pixels, which
# must move the first world the same way. Sets MAP_X, MAP_Y: where the first
# world then stands.
wheel_and_drag_map() {
  local dx=$1 dy=$2 x0 y0
  xdotool mousemove --window "$WIN" 450 180
  sleep 0.3
  xdotool click --window "$WIN" 4
  wait_for_log "$log" "universe map: centre" 20 || fail "the wheel did not reach the map"
  read -r x0 y0 < <(last_world_pos)
  xdotool mousemove --window "$WIN" 450 180 mousedown --window "$WIN" 1
  sleep 0.2
  for step in 1 2 3 4 5; do
    xdotool mousemove --window "$WIN" $((450 + step * dx)) $((180 + step * dy))
    sleep 0.1
  done
  xdotool mouseup --window "$WIN" 1
  sleep 0.5
  read -r MAP_X MAP_Y < <(last_world_pos)
  [ $(((MAP_X - x0) * dx)) -gt 0 ] && [ $(((MAP_Y - y0) * dy)) -gt 0 ] ||
    fail "the drag did not pan the map: ($x0, $y0) -> ($MAP_X, $MAP_Y)"
}
