#!/usr/bin/env bash
# Sound end to end, in a real window. With OpenAL Soft's wave writer as the
# sound device the game opens it in 3D, the main menu is quiet with the music
# turned off in the configuration, and a menu key is heard in the recorded
# mix. Without any sound device the game runs silent: a new game is made,
# a world entered and left, and Quit ends the game with exit code 0.
source "$(dirname "$0")/lib/common.sh"
start_xvfb

mkdir -p "$XDG_CONFIG_HOME/Quillmere"
printf 'int music_volume 0\n' >"$XDG_CONFIG_HOME/Quillmere/config"
printf '[general]\ndrivers=wave\nfrequency=44100\nchannels=stereo\nsample-type=int16\n[wave]\nfile=%s\n' \
  "$WORK/mix.wav" >"$WORK/alsoft.conf"

# ---- recorded through the wave writer ----
export ALSOFT_CONF="$WORK/alsoft.conf"
unset ALSOFT_DRIVERS
start_game "$WORK/with_sound.log"
grep -qF "sound init OK, 3d mode" "$log" || fail "no sound device opened"
sleep 2
quiet_end=$(stat -c %s "$WORK/mix.wav")
keys Down
sleep 2.5  # room for a slow tick under load
click_end=$(stat -c %s "$WORK/mix.wav")
xdotool key --window "$WIN" alt+F4
wait_for_exit "$GAME_PID" 60 || fail "the game did not exit"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"

# Levels of the recording: the second before the key, and after it.
read -r _ second < <(python3 "$(dirname "$0")/lib/wav_level.py" "$WORK/mix.wav" 0 0) || fail "no recording"
read -r quiet _ < <(python3 "$(dirname "$0")/lib/wav_level.py" "$WORK/mix.wav" $((quiet_end - second)) "$quiet_end")
read -r click _ < <(python3 "$(dirname "$0")/lib/wav_level.py" "$WORK/mix.wav" "$quiet_end" "$click_end")
echo "recorded level: $quiet before the key, $click after it"
awk -v q="$quiet" -v c="$click" 'BEGIN { exit !(q < 0.002 && c > 2 * q + 0.001) }' || fail "the menu key was not heard"

# ---- no sound device at all ----
export ALSOFT_DRIVERS=no-such-driver
rm -f "$WORK/mix.wav"
start_game "$WORK/silent.log"
grep -qF "no sound device: the game runs silent" "$log" || fail "no line about running silent"
keys Return
wait_for_log "$log" "generated universe in" 60 || fail "no universe after 'New game'"
sleep 1
keys Return
for _ in $(seq 600); do
  [ "$(grep -c "generated world in" "$log")" -ge 2 ] && break
  sleep 0.1
done
[ "$(grep -c "generated world in" "$log")" -ge 2 ] || fail "the chosen world was not generated"
sleep 1
keys Escape Down Down Return
wait_for_log "$log" "menu Game menu: Main menu" 20 || fail "the game menu did not answer"
sleep 2
keys Up Return
wait_for_log "$log" "menu Quillmere: Quit" 20 || fail "Up and Enter did not choose 'Quit'"
wait_for_exit "$GAME_PID" 60 || fail "the game did not exit after Quit"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
[ ! -e "$WORK/mix.wav" ] || fail "a sound device was opened"
echo "ok: menu key heard in the recorded mix; silent game ran a new game, a world and Quit"
