#!/bin/sh
# Builds the libFuzzer targets (the "fuzz" preset, clang with ASan and UBSan)
# and runs each for a bounded time from the checked-in seeds, all side by
# side. Fails when a target finds a crash, a broken
# invariant, a leak or a hang; the input that shows it is kept in the crash
# folder, and its path printed, so that it can be run again
# (build/fuzz/fuzz/fuzz_TARGET FILE) or added to the seeds.
#   FUZZ_SECONDS   seconds of a core per target (default 20)
#   FUZZ_BUILD     build folder (default build/fuzz)
#   FUZZ_CRASHES   crash folder (default build/fuzz-crashes)
set -eu
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
build=${FUZZ_BUILD:-build/fuzz}
crashes=${FUZZ_CRASHES:-build/fuzz-crashes}
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_text fuzz_param fuzz_rewrite

# The scratch corpus goes when the script ends; the findings stay.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$crashes"
# Runs one target; its report, or its finding, once it has ended.
fuzz_one() {
  target=$1
  # New inputs go to a scratch copy of the seeds; the checked-in corpus
  # stays as it is.
  mkdir -p "$work/$target"
  cp fuzz/corpus/$target/* "$work/$target/"
  dict=""
  [ -f fuzz/$target.dict ] && dict="-dict=fuzz/$target.dict"
  if "$build/fuzz/fuzz_$target" $dict -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
      -artifact_prefix="$crashes/$target-" "$work/$target" \
      >"$work/$target.log" 2>&1; then
    grep -E 'stat::number_of_executed_units' "$work/$target.log" |
      sed "s/^/fuzz_$target: /"
  else
    tail -n 40 "$work/$target.log"
    for f in "$crashes/$target"-crash-* "$crashes/$target"-timeout-* \
        "$crashes/$target"-leak-* "$crashes/$target"-oom-*; do
      [ -e "$f" ] || continue
      echo "finding kept: $f"
      od -A d -t x1z "$f" | head -n 20
    done
    echo "fuzz_$target: FOUND A FAULT" >&2
    touch "$work/found"
  fi
}

# The targets run side by side, all at once, for as long as gives each
# FUZZ_SECONDS of a core: with fewer cores than targets, the cores are
# shared and no core waits for the last target alone.
targets="text param rewrite"
count=$(echo $targets | wc -w)
shared=$((jobs < count ? jobs : count))
seconds=$(((seconds * count + shared - 1) / shared))
for target in $targets; do
  echo "== fuzz_$target for ${seconds}s"
  fuzz_one "$target" &
done
wait
[ ! -e "$work/found" ]
