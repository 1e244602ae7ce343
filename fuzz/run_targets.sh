#!/usr/bin/env bash
# Runs fuzz programs, at most <parallel> at once, each for <seconds>, from
# their work corpus (new inputs collect there) and the seed corpora.
# usage: run_targets.sh <fuzz program dir> <seconds> <parallel> <target>...
# Per target: work/<target>, findings/<target> (inputs that failed) and
# logs/<target>-<time>.log beside the programs; when a run ends its final stats
# and its last coverage line are printed.
set -uo pipefail
dir=$1 seconds=$2 parallel=$3
shift 3
cd "$dir" || exit 1
# Every input goes through a temporary file: keep those in memory unless told
# otherwise (a disk-backed /tmp makes the file readers several times slower).
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
mkdir -p logs
run_one() {
  local t=$1 log
  log="logs/$t-$(date +%Y%m%d-%H%M%S).log"
  mkdir -p "work/$t" "findings/$t"
  local seeds=()
  for c in corpus/$t ${QM_FUZZ_EXTRA_CORPUS:+$QM_FUZZ_EXTRA_CORPUS/$t}; do [ -d "$c" ] && seeds+=("$c"); done
  ASAN_OPTIONS=detect_leaks=1 nice -n 10 "./fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
    -artifact_prefix="findings/$t/" -print_final_stats=1 "work/$t" "${seeds[@]}" > "$log" 2>&1
  echo "== $t (exit $?)"
  grep -E "^#[0-9]+" "$log" | tail -n 1
  grep -E "^(stat::|==[0-9]+==ERROR|SUMMARY|Test unit written)" "$log"
}
running=0
for t in "$@"; do
  if [ "$running" -ge "$parallel" ]; then
    wait -n
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
wait
