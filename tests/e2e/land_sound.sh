#!/usr/bin/env bash
# Land that moves is heard: in the developer mode a held left button raises
# the land where the view meets it, and the rumble of the moving land is in
# OpenAL Soft's recorded mix while it rises, above the level of the second
# before (music off in the configuration).
source "$(dirname "$0")/lib/common.sh"
start_xvfb

mkdir -p "$XDG_CONFIG_HOME/Quillmere"
printf 'int music_volume 0\n' >"$XDG_CONFIG_HOME/Quillmere/config"
printf '[general]\ndrivers=wave\nfrequency=44100\nchannels=stereo\nsample-type=int16\n[wave]\nfile=%s\n' \
  "$WORK/mix.wav" >"$WORK/alsoft.conf"
export ALSOFT_CONF="$WORK/alsoft.conf"
unset ALSOFT_DRIVERS

start_game "$WORK/game.log"
grep -qF "sound init OK, 3d mode" "$log" || fail "no sound device opened"
xdotool mousemove --window "$WIN" 320 180
xdotool key --window "$WIN" F9
sleep 1
# Mouse look: tilt the view down onto the land near by.
for _ in 1 2 3; do
  xdotool mousemove --window "$WIN" 320 330
  sleep 0.5
done
sleep 2
quiet_end=$(stat -c %s "$WORK/mix.wav")
xdotool mousedown --window "$WIN" 1
sleep 2
xdotool mouseup --window "$WIN" 1
sleep 1
moving_end=$(stat -c %s "$WORK/mix.wav")
xdotool key --window "$WIN" alt+F4
wait_for_exit "$GAME_PID" 60 || fail "the game did not exit"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"

level() { python3 "$(dirname "$0")/lib/wav_level.py" "$WORK/mix.wav" "$1" "$2"; }
read -r _ second < <(level 0 0) || fail "no recording"
read -r quiet _ < <(level $((quiet_end - second)) "$quiet_end")
read -r moving _ < <(level "$quiet_end" "$moving_end")
echo "recorded level: $quiet before the land moved, $moving while it rose"
awk -v q="$quiet" -v m="$moving" 'BEGIN { exit !(m > 2 * q + 0.001) }' || fail "the rising land was not heard"
