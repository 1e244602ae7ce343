#!/usr/bin/env bash
# The plug-in rebuilt while the game runs: an edit to one of its sources
# starts gameobj/rebuild_dll.sh, the new library is swapped in and the game
# goes on; an edit that does not compile shows the compiler's error on screen
# (kept as plugin_rebuild_error.png in the build folder) and the running
# plug-in stays. The edited source is restored, byte for byte and with its
# time, however the test ends.
source "$(dirname "$0")/lib/common.sh"
BUILD_DIR=$(dirname "$GAME_DIR")
SRC_DIR=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$BUILD_DIR/CMakeCache.txt")
SOURCE="$SRC_DIR/gameobj/plugin.cpp"
[ -f "$SOURCE" ] || fail "no plug-in source at $SOURCE"
cp -p "$SOURCE" "$WORK/plugin.cpp.orig"
restore() {
  cp -p "$WORK/plugin.cpp.orig" "$SOURCE"
  rm -f "$GAME_DIR/gameobj_new.so"
  cleanup
}
trap restore EXIT
start_xvfb

start_game "$WORK/game.log"

# An edit that compiles: rebuilt and swapped in, the game goes on.
echo "// edited while the game runs" >>"$SOURCE"
wait_for_log "$log" "=== rebuilding gameobj DLL" 10 || fail "the edit started no rebuild"
wait_for_log "$log" "=== DLL rebuild done in" 240 || fail "the rebuild did not finish"
wait_for_log "$log" "gameobj reload ok" 10 || fail "the new library was not swapped in"
[ ! -e "$GAME_DIR/gameobj_new.so" ] || fail "gameobj_new.so was left beside the program"
ticks_before=$(grep -c "" "$log")
sleep 1
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended after the swap"

# An edit that does not compile: the error is shown, nothing is swapped.
reloads=$(grep -c "gameobj reload" "$log")
echo "#error this edit does not compile" >>"$SOURCE"
wait_for_log "$log" "!!! failed to rebuild gameobj DLL" 240 || fail "the broken edit did not fail the build"
grep -q "error: #error this edit does not compile" "$log" || fail "the compiler's error was not echoed"
sleep 2
if command -v import >/dev/null; then
  import -window "$WIN" "$BUILD_DIR/plugin_rebuild_error.png" || fail "screenshot failed"
fi
[ "$(grep -c "gameobj reload" "$log")" = "$reloads" ] || fail "a failed build swapped a library in"
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended after the failed build"

xdotool key --window "$WIN" alt+F4
wait_for_exit "$GAME_PID" 30 || fail "the game did not exit after Alt+F4"
GAME_PID=""
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "ok: rebuilt and swapped in; a broken edit left the running plug-in in place ($ticks_before log lines)"
