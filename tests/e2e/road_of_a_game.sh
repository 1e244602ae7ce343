#!/usr/bin/env bash
# The road of a game, with real keys: a new game in slot 0, its universe map,
# world 0 entered (generated and saved at once), a flight, the way out of the
# world, back to the main menu and Quit. Then a second run loads slot 0 and
# comes back to world 0: the world is the one that was left (heights, surface
# and fluid equal to the slot's file, byte for byte) and the player stands
# where the road says. Left through a portal and the warp, the slot opens on
# the map and world 0 entered from it has its new player at the castle; the
# plug-in has no portal yet, so the world is left through the game menu's
# "Save game" and the slot resumes inside it with the player of the file.
# Keeps road_main_menu.png, road_universe.png and road_world.png in the build
# folder and prints the time from choosing a world to its being ready, and
# from the end of the warp back to the universe.
source "$(dirname "$0")/lib/common.sh"
BUILD_DIR=$(dirname "$GAME_DIR")
start_xvfb
SLOT="$XDG_DATA_HOME/Quillmere/saves/0"

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

# start_game LOG: the game up to its first main-menu frame; sets WIN.
start_game() {
  log=$1
  (cd "$WORK" && exec "$GAME" -360 -win >"$log" 2>"${log%.log}.err.log") &
  GAME_PID=$!
  WIN=$(wait_for_window "Quillmere 0.22" 30) || fail "no game window"
  wait_count "$log" "first main menu frame" 1 60 || fail "no main-menu frame"
  sleep 1
  xdotool windowfocus --sync "$WIN"
}

keys() {
  for k in "$@"; do
    xdotool key --window "$WIN" "$k"
    sleep 0.4
  done
}

shot() {
  if command -v import >/dev/null; then
    import -window "$WIN" "$BUILD_DIR/$1" || fail "screenshot $1 failed"
  fi
}

ms_now() { echo $(($(date +%s%N) / 1000000)); }

quit_from_main_menu() {
  sleep 2
  keys Up Return  # "Quit", the last item
  wait_for_exit "$GAME_PID" 60 || fail "the game did not exit after Quit"
  GAME_PID=""
  [ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
}

# ---- first run: a new game ----
log1="$WORK/game1.log"
start_game "$log1"
shot road_main_menu.png

keys Return  # "New game"
wait_for_log "$log1" "generated universe in" 60 || fail "no universe after 'New game'"
sleep 1
shot road_universe.png

t0=$(ms_now)
xdotool key --window "$WIN" Return  # the first world of the map
for _ in $(seq 12000); do
  grep -qF "entered world #0 in" "$log1" && break
  sleep 0.01
done
t1=$(ms_now)
grep -qF "entered world #0 in" "$log1" || fail "world 0 was not entered"
grep -qF "saving world to $SLOT/w000" "$log1" || fail "a first visit did not save the new world"
cp "$SLOT/w000" "$WORK/w000.entered"
[ -f "$SLOT/info" ] && [ -f "$SLOT/uni" ] && [ -f "$SLOT/w000" ] || fail "slot files missing: $(ls "$SLOT")"
enter_ms=$(grep -oE "entered world #0 in [0-9]+ ms" "$log1" | grep -oE "[0-9]+ ms")
echo "choosing a new world to its being ready for its first frame: $((t1 - t0)) ms from the key press (in the game: $enter_ms)"
sleep 1
shot road_world.png

# A flight forward.
xdotool keydown --window "$WIN" w
sleep 1.5
xdotool keyup --window "$WIN" w
sleep 0.5

# Out of the world. The portal and the warp need the plug-in's portal, which
# it does not offer yet: until then the game menu saves the world as it is.
echo "PENDING: no portal in the plug-in yet; leaving through the game menu"
# Saved inside the world, the slot resumes there with the player of the file.
PLAYER_AT=file
saves=$(count "$log1" "saving gameobjs")
keys Escape Down Return  # game menu: "Save game"
wait_count "$log1" "saving gameobjs" $((saves + 1)) 30 || fail "the game menu did not save"
keys Down Return  # "Main menu"
wait_for_log "$log1" "menu Game menu: Main menu" 20 || fail "no way back to the main menu"
quit_from_main_menu
cp "$SLOT/w000" "$WORK/w000.left"

# ---- second run: the slot again ----
log2="$WORK/game2.log"
start_game "$log2"
keys F2  # pause the world (it keeps moving behind the menu), so the next save shows what was loaded
keys Down Return  # "Load game"
wait_for_log "$log2" "menu Quillmere: Load game" 20 || fail "no slot list"
keys Return  # slot 1 (number 0)
wait_for_log "$log2" "menu Load game: Slot 1: Started" 20 || fail "slot 0 is not listed by its name"
if [ "$PLAYER_AT" = castle ]; then
  # Left through the warp: the map, and world 0 entered from it.
  sleep 1
  keys Return
  wait_for_log "$log2" "entered world #0 in" 60 || fail "world 0 was not entered"
fi
wait_for_log "$log2" "loaded world #0" 60 || fail "world 0 was not loaded from its file"
grep -c "generated world in" "$log2" | grep -qx 1 || fail "world 0 was generated again"
sleep 1
saves=$(count "$log2" "saving gameobjs")
keys Escape Down Return  # game menu: "Save game"
wait_count "$log2" "saving gameobjs" $((saves + 1)) 30 || fail "the game menu did not save"
keys Down Return
quit_from_main_menu

# The world as it was left; the player at the castle (or at the origin when
# the world has no single castle) after an entry from the map, else where the
# file had it.
python3 - "$WORK/w000.left" "$SLOT/w000" "$PLAYER_AT" "$WORK/w000.entered" <<'EOF' || fail "the world was not as it was left"
import struct, sys
left, now = (open(p, "rb").read() for p in sys.argv[1:3])
HDR, BLOCK = 4, 0x240000
assert left[:4] == now[:4] == struct.pack("<I", 0x14062600), "world file version"
names = [("heights", 0, 0x40000), ("target heights", 0x40000, 0x80000), ("surface", 0x80000, 0x140000),
         ("fluid", 0x140000, BLOCK)]
for name, a, b in names:
    assert left[HDR + a:HDR + b] == now[HDR + a:HDR + b], name + " differ"
# The objects after the sun and camera are the plug-in's: a magic word, a count
# and 21-byte records (kind 0 player, 1 castle; serial; x, y, z; one integer).
def objects(f):
    o = f[HDR + BLOCK + 32:]
    magic, n = struct.unpack_from("<II", o, 0)
    recs = [struct.unpack_from("<BIfffi", o, 8 + 21 * i) for i in range(n)]
    return [r for r in recs if r[0] == 0], [r for r in recs if r[0] == 1]
players, castles = objects(now)
assert len(players) == 1, "players: %d" % len(players)
if sys.argv[3] == "castle":
    want = (castles[0][2], castles[0][4]) if len(castles) == 1 else (0.0, 0.0)
else:
    left_players, _ = objects(left)
    want = (left_players[0][2], left_players[0][4])
got = (players[0][2], players[0][4])
entered_players, _ = objects(open(sys.argv[4], "rb").read())
left_players, _ = objects(left)
print("player entered at", entered_players[0][2:5], "left at", left_players[0][2:5], "castles at", [c[2:5] for c in castles])
assert entered_players[0][2:5] != left_players[0][2:5], "the flight did not move the player"
assert abs(got[0] - want[0]) < 1e-3 and abs(got[1] - want[1]) < 1e-3, "player at %r, castle at %r" % (got, want)
print("world as left; player at", got, "as expected from the", sys.argv[3], "; castles:", len(castles))
EOF
echo "ok: the road of a game"
