#!/usr/bin/env bash
# Builds the seed corpus of every fuzz target in <out-dir>: the binary seeds
# that the program's own writers make (the `fuzz_seeds` program), and the text
# and texture files the game ships (shaders, palettes, textures).
# usage: make_corpus.sh <fuzz_seeds program> <source dir> <program dir> <out-dir>
set -euo pipefail
seeds=$1 src=$2 bin=$3 out=$4
rm -rf "$out"
mkdir -p "$out"
"$seeds" "$out"
mkdir -p "$out/shader_include" "$out/palettes" "$out/dds"
for f in "$src"/data/*.sh "$src"/data/*.glsl; do
  [ -f "$f" ] && cp "$f" "$out/shader_include/"
done
cp "$src/data/gen/palettes.csv" "$out/palettes/"
# The table's own examples of hand-edited rows.
printf 'name,ground,water\nsea,0xFF204060,0xFF102030\nlake,,0xFF00FF00\n# note\n,;,\nrock,12abc,abc,7\n' > "$out/palettes/edited.csv"
for f in "$bin"/*.dds; do
  [ -f "$f" ] || continue
  # The head of each texture keeps the seeds small; one whole one stays.
  head -c 4096 "$f" > "$out/dds/$(basename "$f").head"
done
first=$(ls "$bin"/*.dds 2>/dev/null | head -1 || true)
if [ -n "$first" ]; then cp "$first" "$out/dds/"; fi
cp "$bin/font.tga" "$out/tga/" 2>/dev/null || true
exit 0
