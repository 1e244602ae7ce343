#!/bin/sh
# Rebuilds the gameobj plug-in for a running game, which starts this script
# in this folder when one of the plug-in's sources changes, with the
# program's folder in QM_PROGRAM_DIR. The library is built in the game's
# build tree and left beside the program as gameobj_new.so; the game swaps it
# in. Compiler errors reach the game on lines holding the word "error".
set -e
: "${QM_PROGRAM_DIR:?the game sets QM_PROGRAM_DIR}"
build_dir=$(cd "$QM_PROGRAM_DIR/.." && pwd)
[ -f "$build_dir/CMakeCache.txt" ] || { echo "error: no build tree at $build_dir"; exit 1; }
exec cmake --build "$build_dir" --target gameobj_new 2>&1
