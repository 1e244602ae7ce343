#!/usr/bin/env bash
# The road of a game, with real keys: a new game in slot 0, its universe map,
# world 0 entered (generated and saved at once), a flight from the castle gate
# straight into the portal ahead of it, the one-second warp, back on the map,
# the main menu and Quit. Then a second run loads slot 0, which opens on the
# map, and enters world 0 again: the world is the one that was left (heights,
# surface and fluid equal to the slot's file, byte for byte) and its new
# player stands at the castle.
# Keeps road_main_menu.png, road_universe.png and road_world.png in the build
# folder and prints the time from choosing a world to its being ready, and
# from the end of the warp back to the universe.
source "$(dirname "$0")/lib/common.sh"
BUILD_DIR=$(dirname "$GAME_DIR")
start_xvfb
SLOT="$XDG_DATA_HOME/Quillmere/saves/0"


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

# A flight forward: the first portal stands 10 units ahead of the gate, about
# 1.25 s at the flying speed; holding W longer only ends in the warp.
xdotool keydown --window "$WIN" w
wait_for_log "$log1" "the player entered a portal" 5 || { xdotool keyup --window "$WIN" w; fail "the flight did not reach the portal"; }
xdotool keyup --window "$WIN" w
wait_for_log "$log1" "back in the universe after" 120 || fail "the warp did not lead back to the universe"
back_ms=$(grep -oE "back in the universe after [0-9]+ ms" "$log1" | grep -oE "[0-9]+ ms")
echo "from the end of the warp back to the universe: $back_ms"
sleep 1
keys Up Return  # the map's last item: "Main menu"
wait_for_log "$log1" "menu Universe: Main menu" 20 || fail "no way from the map to the main menu"
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
# Left through the warp, the slot opens on the map: world 0 entered from it.
sleep 1
keys Return
wait_for_log "$log2" "entered world #0 in" 60 || fail "world 0 was not entered"
wait_for_log "$log2" "loaded world #0" 60 || fail "world 0 was not loaded from its file"
grep -c "generated world in" "$log2" | grep -qx 1 || fail "world 0 was generated again"
sleep 1
saves=$(count "$log2" "saving gameobjs")
keys Escape Down Return  # game menu: "Save game"
wait_count "$log2" "saving gameobjs" $((saves + 1)) 30 || fail "the game menu did not save"
keys Down Return
quit_from_main_menu

# The world as it was left, with no player once it was left through a portal;
# after the entry from the map the player stands at the castle (or at the
# origin when the world has no single castle).
python3 - "$WORK/w000.left" "$SLOT/w000" "$WORK/w000.entered" <<'EOF' || fail "the world was not as it was left"
import struct, sys
left, now = (open(p, "rb").read() for p in sys.argv[1:3])
HDR, BLOCK = 4, 0x240000
assert left[:4] == now[:4] == struct.pack("<I", 0x14062600), "world file version"
names = [("heights", 0, 0x40000), ("target heights", 0x40000, 0x80000), ("surface", 0x80000, 0x140000),
         ("fluid", 0x140000, BLOCK)]
for name, a, b in names:
    assert left[HDR + a:HDR + b] == now[HDR + a:HDR + b], name + " differ"
# The objects after the sun and camera are the plug-in's: a magic word, a count
# and records of a class index (1 player, 40 castle), a serial id, x, y, z and
# the length of the object's own state, which follows.
def objects(f):
    o = f[HDR + BLOCK + 32:]
    magic, n = struct.unpack_from("<II", o, 0)
    recs, at = [], 8
    for i in range(n):
        r = struct.unpack_from("<BIfffI", o, at)
        recs.append(r)
        at += 21 + r[5]
    assert at == len(o), "object records end at %d of %d" % (at, len(o))
    return [r for r in recs if r[0] == 1], [r for r in recs if r[0] == 40]
players, castles = objects(now)
assert len(players) == 1, "players: %d" % len(players)
entered_players, _ = objects(open(sys.argv[3], "rb").read())
left_players, _ = objects(left)
assert not left_players, "a player was left behind: %r" % (left_players,)
print("player entered at", entered_players[0][2:5], "castles at", [c[2:5] for c in castles])
want = (castles[0][2], castles[0][4]) if len(castles) == 1 else (0.0, 0.0)
got = (players[0][2], players[0][4])
assert abs(got[0] - want[0]) < 1e-3 and abs(got[1] - want[1]) < 1e-3, "player at %r, castle at %r" % (got, want)
print("world as left; player at", got, "at the castle; castles:", len(castles))
EOF
echo "ok: the road of a game"
