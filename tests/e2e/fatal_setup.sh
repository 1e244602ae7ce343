#!/usr/bin/env bash
# A broken set-up (the program without its data beside it) ends through the
# fatal path: the message on standard error, a message box the user closes,
# and exit code 100.
source "$(dirname "$0")/lib/common.sh"
start_xvfb

mkdir -p "$WORK/bare"
cp "$GAME" "$WORK/bare/game"
(cd "$WORK" && exec "$WORK/bare/game" -360 -win >"$WORK/game.log" 2>"$WORK/game.err.log") &
GAME_PID=$!

BOX=$(wait_for_window "Quillmere 0.22 - FATAL ERROR" 30) || fail "no fatal message box"
xdotool windowfocus --sync "$BOX"
xdotool key Return
wait_for_exit "$GAME_PID" 30 || fail "the game did not exit after the message box"
GAME_PID=""
[ "$EXIT_CODE" = 100 ] || fail "exit code $EXIT_CODE, expected 100"
[ -s "$WORK/game.err.log" ] || fail "nothing on standard error"
grep -q "ERROR: " "$WORK/game.log" || fail "no ERROR line in the log"
grep -qF "closed all systems" "$WORK/game.log" || fail "systems were not closed"
echo "ok: $(tr '\n' ' ' < "$WORK/game.err.log")"
