#!/usr/bin/env bash
# Lightning on a key: a new game, its first world entered, then L calls a
# bolt down ahead of the player (a log line each). The bolt must show: in the
# upper quarter of the picture (the sky above the view, where it comes down),
# against a picture of the same view taken just before, a stretch of pixels
# turns far brighter, while two pictures without the key differ by far less.
# Keeps lightning.png (the picture with the bolt) in the build folder.
source "$(dirname "$0")/lib/common.sh"
BUILD_DIR=$(dirname "$GAME_DIR")
start_xvfb
command -v import >/dev/null || { echo "skipped: no screenshot tool"; exit 0; }

grab() { import -window "$WIN" "$1" || fail "screenshot $1 failed"; }

# brightened A.png B.png: how many pixels of the upper quarter are far brighter
# in B than in A and close to white there.
brightened() {
  python3 - <(convert "$1" -depth 8 ppm:-) <(convert "$2" -depth 8 ppm:-) <<'PY'
import sys
def ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace(): pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace(): end += 1
        fields.append(data[pos:end]); pos = end
    assert fields[0] == b"P6", fields[0]
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos + 1:pos + 1 + w * h * 3]
wa, ha, a = ppm(sys.argv[1])
wb, hb, b = ppm(sys.argv[2])
assert (wa, ha) == (wb, hb), "picture sizes differ"
n = 0
for i in range(0, int(ha * 0.25) * wa * 3, 3):
    sa = a[i] + a[i + 1] + a[i + 2]
    sb = b[i] + b[i + 1] + b[i + 2]
    if sb - sa >= 100 and sb >= 600: n += 1
print(n)
PY
}

log="$WORK/game.log"
start_game "$log"
# No creatures: a bird crossing the sky would change the pictures.
monsters_off
keys Return  # "New game"
wait_for_log "$log" "generated universe in" 60 || fail "no universe after 'New game'"
sleep 1
xdotool key --window "$WIN" Return  # the first world of the map
wait_for_log "$log" "entered world #0 in" 120 || fail "world 0 was not entered"
sleep 1
# Up above the hills, so that no slope in front hides where the bolts fall.
xdotool mousemove --window "$WIN" 320 180
xdotool keydown --window "$WIN" space
sleep 2.0
xdotool keyup --window "$WIN" space
sleep 1

# The view settles (the camera comes to rest, the entry's fade ends) before
# the pictures are compared: two in a row that differ by little.
grab "$WORK/before.png"
calm=100000
for _ in $(seq 10); do
  sleep 0.5
  grab "$WORK/still.png"
  calm=$(brightened "$WORK/before.png" "$WORK/still.png")
  echo "pixels far brighter without the key: $calm"
  cp "$WORK/still.png" "$WORK/before.png"
  [ "$calm" -le 30 ] && break
done
[ "$calm" -le 30 ] || fail "the view did not settle ($calm pixels changed between two pictures)"

# A bolt lives 0.7 s and a picture of a loaded machine's window takes its
# time: six presses a tick or two apart keep bolts in the air for the
# picture; a slow frame may still miss them, so up to three tries.
rm -f "$BUILD_DIR/lightning.png"
lit=0
for attempt in 1 2 3; do
  strikes=$(grep -cF "lightning struck" "$log" || true)
  for _ in 1 2 3 4 5 6; do
    xdotool key --window "$WIN" l
    sleep 0.12
  done
  lit=0
  for pic in 1 2 3; do
    grab "$WORK/bolt.png"
    n=$(brightened "$WORK/before.png" "$WORK/bolt.png")
    if [ "$n" -gt "$lit" ]; then lit=$n; cp "$WORK/bolt.png" "$BUILD_DIR/lightning.png"; fi
  done
  [ -f "$BUILD_DIR/lightning.png" ] || cp "$WORK/bolt.png" "$BUILD_DIR/lightning.png"
  now=$(grep -cF "lightning struck" "$log" || true)
  [ "$now" -gt "$strikes" ] || fail "the L key called no lightning (attempt $attempt)"
  echo "attempt $attempt: $((now - strikes)) strikes, pixels far brighter with the bolts: $lit"
  [ "$lit" -ge 40 ] && [ "$lit" -gt $((calm * 4 + 30)) ] && break
  sleep 1.5
  grab "$WORK/before.png"
done
[ "$lit" -ge 40 ] && [ "$lit" -gt $((calm * 4 + 30)) ] || fail "no bolt on the screen ($lit pixels brightened, $calm without it)"
grep -F "lightning struck" "$log" | tail -n1
echo "ok: lightning"
