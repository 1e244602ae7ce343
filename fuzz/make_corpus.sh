#!/usr/bin/env bash
# Builds the seed corpus of every fuzz target in <out-dir>: the binary seeds
# that the program's own writers make (the `fuzz_seeds` and `game_seeds`
# programs), and the text and texture files the game ships (shaders, palettes,
# textures, the GUI font and icon descriptors).
# usage: make_corpus.sh <fuzz_seeds program> <game_seeds program> <source dir> <program dir> <out-dir>
set -euo pipefail
seeds=$1 game_seeds=$2 src=$3 bin=$4 out=$5
rm -rf "$out"
mkdir -p "$out"
"$seeds" "$out"
"$game_seeds" "$out"
mkdir -p "$out/shader_include" "$out/palettes" "$out/dds"
for f in "$src"/data/*.sh "$src"/data/*.glsl; do
  [ -f "$f" ] && cp "$f" "$out/shader_include/"
done
cp "$src/data/gen/palettes.csv" "$out/palettes/"
# The table's own examples of hand-edited rows.
printf 'name,ground,water\nsea,0xFF204060,0xFF102030\nlake,,0xFF00FF00\n# note\n,;,\nrock,12abc,abc,7\n' > "$out/palettes/edited.csv"
for f in "$bin"/*.dds; do
  [ -f "$f" ] || continue
  # The head of each texture keeps the seeds small (the largest seed sets
  # how large every input may grow); the seed program writes small whole ones.
  head -c 4096 "$f" > "$out/dds/$(basename "$f").head"
done
cp "$bin/font.tga" "$out/tga/" 2>/dev/null || true
mkdir -p "$out/script_compile"
for f in $(find "$src/data" -name '*.nut'); do
  cp "$f" "$out/script_compile/$(basename "$(dirname "$f")")_$(basename "$f")"
done
mkdir -p "$out/font" "$out/icons"
# The GUI font descriptor cut to its first 16 and last 8 glyphs (two ranges of
# codes) and first 20 kerning pairs, its counts set to match: whole, its 26 KB
# would let every input grow that long, and each line costs a parse.
if [ -f "$bin/ui_font.fnt" ]; then
  awk '/^chars count=/ { total = substr($2, 7) + 0; print "chars count=24"; mode = 1; n = 0; next }
       /^kernings count=/ { print "kernings count=20"; mode = 2; n = 0; next }
       mode == 0 { print; next }
       mode == 1 { n++; if (n <= 16 || n > total - 8) print; next }
       { if (++n <= 20) print }' "$bin/ui_font.fnt" > "$out/font/ui_font_cut.fnt"
fi
cp "$bin/ui_icons.txt" "$out/icons/" 2>/dev/null || true
# The descriptors' own examples of damage: a count larger than the lines there
# and a bad number.
printf 'info face="F" size=10 spread=2\ncommon lineHeight=12 base=0 scaleW=64 scaleH=64\npage id=0 file="a"\nchars count=9\nchar id=65 x=1 y=1 width=8 height=9 xoffset=0 yoffset=1 xadvance=6\n' > "$out/font/short.fnt"
printf 'info file="i" scaleW=64 scaleH=32 spread=4\nicons count=2\nicon "star" 16 16 0 0 24 24 -12 12\nicon "moon" 20 10 nan 8 28 18 -14 9\n' > "$out/icons/bad_number.txt"
exit 0
