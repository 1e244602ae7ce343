#!/usr/bin/env bash
# The launcher in a real window, driven by the mouse: switching VSync off and
# choosing low quality, then Start, stores the options and starts the game
# with them; a second launcher shows them; Quit stores, Alt+F4 does not; a
# missing font is fatal with exit code 100. Also measures the start-up time
# to the first frame (median of five starts).
source "$(dirname "$0")/lib/common.sh"
start_xvfb

LAUNCHER="$GAME_DIR/launcher"
CONFIG="$XDG_CONFIG_HOME/Quillmere/config"
SPAWNED_GAME=""
trap '[ -n "$SPAWNED_GAME" ] && kill -9 "$SPAWNED_GAME" 2>/dev/null; cleanup' EXIT

# Centres of the controls in the 640 x 480 layout (8 x 12 font, pixel scale
# 1: the 480 x 360 root at (80, 60); see tests/launcher/ref/settings_640x480.png).
VSYNC=(397 186)
FULLSCREEN=(397 156)
QUALITY_LOW=(397 216)
ANTIALIASING=(397 246)
LAND_SHADOWS_2=(457 276)
START=(481 365)
QUIT=(159 365)

# start_launcher LOG -> LAUNCHER_PID, WIN
start_launcher() {
  local log=$1
  (cd "$WORK" && exec "$LAUNCHER" >"$log" 2>&1) &
  LAUNCHER_PID=$!
  GAME_PID=$LAUNCHER_PID   # the shared clean-up ends it on failure
  WIN=$(wait_for_window "Quillmere Launcher" 20) || fail "no window named 'Quillmere Launcher'"
  wait_for_log "$log" "first frame after" 20 || fail "the launcher drew no frame"
}

click() {
  xdotool mousemove --window "$WIN" "$1" "$2"
  sleep 0.1
  xdotool click 1
  sleep 0.3
}

# pixel X Y -> the window's colour there as rrggbb
pixel() {
  import -window "$WIN" "$WORK/shot.png"
  convert "$WORK/shot.png" -format '%[hex:p{'"$1"','"$2"'}]' info: | cut -c1-6 | tr 'A-F' 'a-f'
}

expect_exit() {
  local want=$1 what=$2
  wait_for_exit "$LAUNCHER_PID" 20 || fail "the launcher did not exit after $what"
  GAME_PID=""
  [ "$EXIT_CODE" = "$want" ] || fail "exit code $EXIT_CODE after $what, expected $want"
}

config_value() { grep -E "^(int|str) $1 " "$CONFIG" | cut -d' ' -f3-; }

# --- Start with VSync off and low quality -----------------------------------
start_launcher "$WORK/launcher1.log"
geom=$(xdotool getwindowgeometry "$WIN")
echo "$geom" | grep -q "Geometry: 640x480" || fail "window is not 640x480: $geom"
[ ! -e "$CONFIG" ] || fail "the launcher wrote the configuration before Start"
# The window shows the screen buffer exactly as the pixel tests draw it.
xdotool mousemove --window "$WIN" 5 5
sleep 0.3
import -window "$WIN" "$WORK/first.png"
diff_px=$(compare -metric AE "$WORK/first.png" "$(dirname "$0")/../launcher/ref/settings_640x480.png" null: 2>&1 || true)
[ "$diff_px" = 0 ] || fail "the window differs from the reference picture in $diff_px pixels"
click "${VSYNC[@]}"
click "${QUALITY_LOW[@]}"
# Low quality hides the land-shadow row: its squares show the root's colour.
[ "$(pixel "${LAND_SHADOWS_2[@]}")" = 222222 ] || fail "the land-shadow row is still shown at low quality"
click "${START[@]}"
expect_exit 0 "Start"
[ "$(config_value flags)" = 8 ] || fail "flags $(config_value flags), expected 8"
[ "$(config_value land_shadows)" = 2 ] || fail "land_shadows $(config_value land_shadows)"
[ "$(config_value gfx_quality)" = '"low"' ] || fail "gfx_quality $(config_value gfx_quality)"

# The game started beside the launcher writes to the launcher's output.
SPAWNED_GAME=$(sed -n "s/^started '.*\/game' (process \([0-9]*\))$/\1/p" "$WORK/launcher1.log")
[ -n "$SPAWNED_GAME" ] || fail "the launcher did not report starting the game"
wait_for_log "$WORK/launcher1.log" "Graphics quality: low" 90 || fail "the game did not start at low quality"
grep -qF "settings: fullscreen 0, anti-aliasing 0, vsync 0, object shadows 1, land shadows 2, quality low" \
  "$WORK/launcher1.log" || fail "the game's settings line does not show the launcher's options"
GAME_WIN=$(wait_for_window "Quillmere 0.22" 60) || fail "no game window"
wait_for_log "$WORK/launcher1.log" "total start-up time:" 90 || fail "the game did not finish starting"
sleep 1
xdotool windowfocus --sync "$GAME_WIN"
xdotool key alt+F4
for _ in $(seq 300); do kill -0 "$SPAWNED_GAME" 2>/dev/null || break; sleep 0.1; done
kill -0 "$SPAWNED_GAME" 2>/dev/null && fail "the game did not close"
SPAWNED_GAME=""

# --- A second launcher shows the stored options; Quit stores a change -------
start_launcher "$WORK/launcher2.log"
xdotool mousemove --window "$WIN" 5 5
sleep 0.3
[ "$(pixel "${VSYNC[@]}")" = 000000 ] || fail "VSync is not shown off"
[ "$(pixel "${QUALITY_LOW[@]}")" = aa4411 ] || fail "low quality is not shown selected"
[ "$(pixel "${LAND_SHADOWS_2[@]}")" = 222222 ] || fail "the land-shadow row is shown at low quality"
click "${FULLSCREEN[@]}"
click "${QUIT[@]}"
expect_exit 0 "Quit"
[ "$(config_value flags)" = 9 ] || fail "flags $(config_value flags) after Quit, expected 9"
grep -q "^started" "$WORK/launcher2.log" && fail "Quit started the game"

# --- Alt+F4 closes without saving ---------------------------------------------
start_launcher "$WORK/launcher3.log"
click "${ANTIALIASING[@]}"
# Resizing lays the screen out again at the new size.
xdotool windowsize "$WIN" 1000 750
wait_for_log "$WORK/launcher3.log" "resized screen buffer to 1000x750" 10 || fail "no new buffer after resizing"
xdotool windowfocus --sync "$WIN"
xdotool key alt+F4
expect_exit 0 "Alt+F4"
[ "$(config_value flags)" = 9 ] || fail "Alt+F4 stored flags $(config_value flags)"
grep -qF "closed all systems" "$WORK/launcher3.log" || fail "Alt+F4 did not close cleanly"

# --- A missing font is fatal ---------------------------------------------------
mkdir -p "$WORK/nofont"
cp "$LAUNCHER" "$WORK/nofont/launcher"
set +e
QUILLMERE_NO_DIALOGS=1 "$WORK/nofont/launcher" >"$WORK/nofont.log" 2>&1
code=$?
set -e
[ "$code" = 100 ] || fail "exit code $code without a font, expected 100"
grep -qF "can't load font from font.tga" "$WORK/nofont.log" || fail "no font error in the output"

# --- Start-up time to the first frame ------------------------------------------
times=()
for i in 1 2 3 4 5; do
  start_launcher "$WORK/timing$i.log"
  times+=("$(sed -n 's/^first frame after \([0-9]*\) ms$/\1/p' "$WORK/timing$i.log")")
  xdotool windowfocus --sync "$WIN"
  xdotool key alt+F4
  expect_exit 0 "Alt+F4"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
echo "ok: Start, Quit and Alt+F4 behave; start-up to the first frame: median ${median} ms (${times[*]})"
