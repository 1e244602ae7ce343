#!/usr/bin/env bash
# Runs fuzz programs, at most <parallel> at once, each for <seconds>, from
# their work corpus (new inputs collect there) and the seed corpora.
# usage: run_targets.sh <fuzz program dir> <seconds> <parallel> <target>...
# Per target: work/<target>, findings/<target> (inputs that failed) and
# logs/<target>.log beside the programs; the last lines of each log (libFuzzer's
# final stats) are printed when it ends.
set -uo pipefail
dir=$1 seconds=$2 parallel=$3
shift 3
cd "$dir" || exit 1
mkdir -p logs
run_one() {
  local t=$1
  mkdir -p "work/$t" "findings/$t"
  local seeds=()
  for c in corpus/$t ${QM_FUZZ_EXTRA_CORPUS:+$QM_FUZZ_EXTRA_CORPUS/$t}; do [ -d "$c" ] && seeds+=("$c"); done
  ASAN_OPTIONS=detect_leaks=1 nice -n 10 "./fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
    -artifact_prefix="findings/$t/" -print_final_stats=1 "work/$t" "${seeds[@]}" > "logs/$t.log" 2>&1
  echo "== $t (exit $?)"
  grep -E "^(stat::|#[0-9]+ *DONE|==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)" "logs/$t.log"
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
