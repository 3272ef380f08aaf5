#!/bin/sh
# Whole-run benchmark of brantix against plain copies of the same page.
#
#   bench/run.sh [SIZE]        SIZE: bytes, or with K, M or G; default 256M
#
# A "-1" run reads the page once and writes its backup and the new page side
# by side, each flushed to disk: it cannot beat copying the page twice. This
# script
# builds the "bench" preset (build/bench), generates three test pages
# (bench/page.h):
#   short LF     short lines like samples/liste.htm, about 17.5 bytes a line
#   short CR LF  the same with CR LF line ends
#   long LF      four cells a row, about 57 bytes a line
# and for each page times with hyperfine, in rounds whose order rotates so
# that the commands alternate:
#   brantix         brantix page.htm -1, param.txt in the folder, Enter on
#                   standard input
#   copies          dd bs=256K from the page to a, then from a to b
#   flushed copies  the same two copies, each flushed to disk (conv=fsync)
#   I/O skeleton    bench/io_skeleton.cc: the system calls of the brantix
#                   run, in its order and with its sizes (taken from one run
#                   before the rounds), and no computing
# It prints CPU time (user + system) and wall time, median (min-max) over
# the runs, and three ratios: brantix's CPU time over that of the two
# copies, and brantix's wall time over that of the two flushed copies, whose
# goal is 1.5 or less; and brantix's wall time over that of its I/O
# skeleton, whose goal is 1.15 or less: what its computing adds. Then it times one run in console dialogue mode (the six
# answers and Enter, each written once its question is printed, by
# bench/dialogue.py), and counts the instructions that one run executes per
# byte of a page of BRANTIX_BENCH_COUNT_SIZE bytes (valgrind --tool=callgrind,
# the total after "Collected"), the measure that does not swing with the
# machine's load. Last it measures brantix's peak resident memory
# (/usr/bin/time) on pages of the sizes in BRANTIX_BENCH_MEMORY.
#
# Each timed run is one hyperfine run, so that hyperfine's user and system
# times are those of that run. Before each, the outputs of the last one are
# removed and the file systems synced, so that no run pays for the
# write-back of another.
#
# Needs cmake, a C++20 compiler, python3, dd, and hyperfine, /usr/bin/time
# (time package) and valgrind, which are installed with apt
# (tools/install-packages.sh) when missing. The pages it generates and the
# files of the runs are removed when it ends, unless BRANTIX_BENCH_KEEP=1.
# Settings, from the environment:
#   BRANTIX_BENCH_DIR     scratch folder for the pages (build/bench-data);
#                         about 4 times the largest page is written there
#   BRANTIX_BENCH_KEEP    1: keep the pages, to run again without making them
#   BRANTIX_BENCH_COUNT_SIZE  page size for the instruction counts (16M)
#   BRANTIX_BENCH_ROUNDS  rounds of alternation (3)
#   BRANTIX_BENCH_RUNS    timed runs of each command per round (3)
#   BRANTIX_BENCH_MEMORY  page sizes for the memory table ("64M 256M 1G",
#                         or "none")
#   BRANTIX_BENCH_PREVIEW_MEMORY  page sizes for the preview's peak memory
#                         ("128M", or "none"); its goal is 16 MiB or less
#   BRANTIX_BENCH_IN_PLACE  page sizes timed both renamed and, with a second
#                         name, written in place ("64M", or "none"); the goal
#                         of their ratio is 2 or less
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SIZE=${1:-256M}
BUILD=$ROOT/build/bench
DIR=${BRANTIX_BENCH_DIR:-$ROOT/build/bench-data}
ROUNDS=${BRANTIX_BENCH_ROUNDS:-3}
RUNS=${BRANTIX_BENCH_RUNS:-3}
MEMORY=${BRANTIX_BENCH_MEMORY:-64M 256M 1G}
PREVIEW_MEMORY=${BRANTIX_BENCH_PREVIEW_MEMORY:-128M}
IN_PLACE=${BRANTIX_BENCH_IN_PLACE:-64M}
KEEP=${BRANTIX_BENCH_KEEP:-0}
COUNT_SIZE=${BRANTIX_BENCH_COUNT_SIZE:-16M}

command -v valgrind >/dev/null 2>&1 || "$ROOT/tools/install-packages.sh" valgrind
command -v hyperfine >/dev/null 2>&1 || "$ROOT/tools/install-packages.sh" hyperfine
[ -x /usr/bin/time ] || "$ROOT/tools/install-packages.sh" time
for tool in cmake hyperfine python3 dd /usr/bin/time valgrind; do
  command -v "$tool" >/dev/null 2>&1 || {
    echo "bench/run.sh: $tool is needed" >&2
    exit 2
  }
done

bytes() {
  case $1 in
    *[kK]) echo $((${1%?} * 1024)) ;;
    *[mM]) echo $((${1%?} * 1024 * 1024)) ;;
    *[gG]) echo $((${1%?} * 1024 * 1024 * 1024)) ;;
    *) echo $(($1)) ;;
  esac
}
bytes "$SIZE" >/dev/null

echo "== Building $BUILD (preset bench)"
(cd "$ROOT" && cmake --preset bench >/dev/null &&
  cmake --build --preset bench -j "$(nproc 2>/dev/null || echo 2)" \
    --target brantix brantix_make_page brantix_io_skeleton >/dev/null)
BRANTIX=$BUILD/brantix
MAKE_PAGE=$BUILD/bench/brantix_make_page
SKELETON=$BUILD/bench/brantix_io_skeleton

mkdir -p "$DIR/run"
DIR=$(cd "$DIR" && pwd)
RUN=$DIR/run
ANSWERS="2 Ecoute video.gif son2.gif carte index.htm"
# shellcheck disable=SC2086 # the answers are words
printf '%s\n' $ANSWERS >"$RUN/param.txt"
printf '\n' >"$RUN/enter.txt"

# The timed commands and their preparations, as scripts in the run folder
# so that hyperfine runs them without quoting troubles; they take the page
# and the program from the environment.
export BENCH_PAGE BENCH_BRANTIX="$BRANTIX" BENCH_SKELETON="$SKELETON"
export BENCH_BACKUP_SIZE BENCH_NEW_SIZE
cat >"$RUN/prepare-brantix.sh" <<'EOF'
rm -f p.htm p.htm.orig brantix-*.tmp && cp "$BENCH_PAGE" p.htm && sync
EOF
cat >"$RUN/brantix.sh" <<'EOF'
exec "$BENCH_BRANTIX" p.htm -1 <enter.txt >/dev/null
EOF
cat >"$RUN/prepare-in-place.sh" <<'EOF'
rm -f p.htm q.htm p.htm.orig brantix-*.tmp && cp "$BENCH_PAGE" p.htm &&
  ln p.htm q.htm && sync
EOF
cat >"$RUN/skeleton.sh" <<'EOF'
exec "$BENCH_SKELETON" p.htm "$BENCH_BACKUP_SIZE" "$BENCH_NEW_SIZE"
EOF
cat >"$RUN/prepare-copies.sh" <<'EOF'
rm -f a b && sync
EOF
cat >"$RUN/copies.sh" <<'EOF'
dd if="$BENCH_PAGE" of=a bs=256K status=none &&
  exec dd if=a of=b bs=256K status=none
EOF
cat >"$RUN/flushed-copies.sh" <<'EOF'
dd if="$BENCH_PAGE" of=a bs=256K conv=fsync status=none &&
  exec dd if=a of=b bs=256K conv=fsync status=none
EOF

# page SIZE LAYOUT ENDS: the page's path, generated once and kept.
page() {
  p=$DIR/page-$1-$2-$3.htm
  if [ ! -f "$p" ]; then
    "$MAKE_PAGE" "$(bytes "$1")" "$3" "$2" >"$p.tmp"
    mv "$p.tmp" "$p"
  fi
  echo "$p"
}

cleanup() {
  rm -f "$RUN/p.htm" "$RUN/p.htm.orig" "$RUN"/brantix-*.tmp "$RUN/a" "$RUN/b" \
    "$RUN/callgrind.out"
}
# At the end: the run's files always, the pages unless they are kept.
finish() {
  cleanup
  if [ "$KEEP" != 1 ]; then
    rm -f "$DIR"/page-*.htm "$DIR"/page-*.htm.tmp
    rm -rf "$RUN"
    rmdir "$DIR" 2>/dev/null || true
  fi
}
trap finish EXIT

# stats FIELD NAME FILE: median, min and max of field FIELD (seconds) of
# the lines of FILE that start with NAME, in milliseconds.
stats() {
  awk -v f="$1" -v n="$2" '$1 == n { print $f }' "$3" | sort -n |
    awk '{ t[NR] = $1 * 1000 }
      END { if (NR == 0) { print "- - -"; exit }
            m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
            printf "%.0f %.0f %.0f\n", m, t[1], t[NR] }'
}
median() { stats "$@" | cut -d' ' -f1; }

echo "== Machine"
echo "$(uname -srm), $(nproc 2>/dev/null || echo '?') cores," \
  "$(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //')," \
  "$(awk '/MemTotal/ { printf "%.0f GiB RAM", $2 / 1048576 }' /proc/meminfo 2>/dev/null)"
echo "scratch: $DIR ($(stat -f -c %T "$DIR" 2>/dev/null || echo '?'))"
echo "$(hyperfine --version); $(dd --version | head -1); Python $(python3 -c 'import platform; print(platform.python_version())')"

# instructions LAYOUT ENDS: instructions per page byte of one run, on a page
# of COUNT_SIZE bytes.
instructions() {
  BENCH_PAGE=$(page "$COUNT_SIZE" "$1" "$2")
  (cd "$RUN" && sh prepare-brantix.sh)
  collected=$(cd "$RUN" && valgrind --tool=callgrind \
    --callgrind-out-file="$RUN/callgrind.out" "$BRANTIX" p.htm -1 \
    <"$RUN/enter.txt" 2>&1 >/dev/null | sed -n 's/.*Collected : *//p')
  cleanup
  awk -v i="$collected" -v b="$(wc -c <"$BENCH_PAGE")" \
    'BEGIN { printf "%.2f", i / b }'
}

# measure LAYOUT ENDS TITLE: the timings of one page.
measure() {
  BENCH_PAGE=$(page "$SIZE" "$1" "$2")
  lines=$(wc -l <"$BENCH_PAGE")
  size=$(wc -c <"$BENCH_PAGE")
  echo
  echo "== $3: $size bytes, $lines lines" \
    "($(awk -v b="$size" -v l="$lines" 'BEGIN { printf "%.2f", b / l }') bytes a line)," \
    "$ROUNDS rounds x $RUNS runs"
  # The sizes the skeleton writes: those of one run's backup and new page.
  (cd "$RUN" && sh prepare-brantix.sh && sh brantix.sh)
  BENCH_BACKUP_SIZE=$(wc -c <"$RUN/p.htm.orig")
  BENCH_NEW_SIZE=$(wc -c <"$RUN/p.htm")
  cleanup
  times=$(mktemp -d)
  b="-n brantix --prepare 'sh prepare-brantix.sh' 'sh brantix.sh'"
  c="-n copies --prepare 'sh prepare-copies.sh' 'sh copies.sh'"
  f="-n flushed --prepare 'sh prepare-copies.sh' 'sh flushed-copies.sh'"
  k="-n skeleton --prepare 'sh prepare-brantix.sh' 'sh skeleton.sh'"
  round=1
  while [ "$round" -le "$ROUNDS" ]; do
    case $((round % 4)) in
      1) order="$b $c $f $k" ;;
      2) order="$c $f $k $b" ;;
      3) order="$f $k $b $c" ;;
      0) order="$k $b $c $f" ;;
    esac
    run=1
    while [ "$run" -le "$RUNS" ]; do
      warmup=0
      [ "$run" -eq 1 ] && warmup=1
      json=$times/round$round-run$run.json
      (cd "$RUN" && eval hyperfine -N --style none --warmup "$warmup" \
        --runs 1 --export-json "\"$json\"" "$order" 2>&1 >/dev/null |
        grep -v -e 'Warning: Statistical outliers' -e 'Warning: The first' \
          -e '^ *$' >&2 || true)
      python3 -c '
import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(r["command"], r["times"][0], r["user"], r["system"],
          r["user"] + r["system"])' "$json" >>"$times/runs"
      run=$((run + 1))
    done
    round=$((round + 1))
  done

  # The lines of $times/runs: name, wall, user, system, CPU.
  printf '%-15s %-20s %-20s %8s %8s\n' "" "CPU ms" "wall ms" "user ms" "sys ms"
  for c in brantix copies flushed skeleton; do
    case $c in
      brantix) label=brantix ;;
      copies) label="two copies" ;;
      flushed) label="flushed copies" ;;
      skeleton) label="I/O skeleton" ;;
    esac
    printf '%-15s %-20s %-20s %8s %8s\n' "$label" \
      "$(stats 5 "$c" "$times/runs" | awk '{ print $1 " (" $2 "-" $3 ")" }')" \
      "$(stats 2 "$c" "$times/runs" | awk '{ print $1 " (" $2 "-" $3 ")" }')" \
      "$(median 3 "$c" "$times/runs")" "$(median 4 "$c" "$times/runs")"
  done
  awk -v bc="$(median 5 brantix "$times/runs")" \
    -v cc="$(median 5 copies "$times/runs")" \
    -v bw="$(median 2 brantix "$times/runs")" \
    -v fw="$(median 2 flushed "$times/runs")" \
    -v kw="$(median 2 skeleton "$times/runs")" 'BEGIN {
    printf "ratio CPU  brantix / two copies      %5.2f (goal 1.5 or less)\n", bc / cc
    printf "ratio wall brantix / flushed copies  %5.2f (goal 1.5 or less)\n", bw / fw
    printf "ratio wall brantix / its I/O skeleton %4.2f (goal 1.15 or less)\n", bw / kw }'
  rm -rf "$times"

  # The dialogue mode, once.
  (cd "$RUN" && sh prepare-brantix.sh)
  # shellcheck disable=SC2086 # the answers are words
  dialogue=$(cd "$RUN" && python3 "$ROOT/bench/dialogue.py" "$BRANTIX" p.htm $ANSWERS)
  echo "$dialogue" | awk '{ w = $1; u = $2; s = $3
    printf "dialogue mode, one run: wall %.0f ms, CPU %.0f ms (user %.0f, sys %.0f)\n",
      w * 1000, (u + s) * 1000, u * 1000, s * 1000 }'
  cleanup
  echo "instructions per page byte (callgrind, $COUNT_SIZE page): $(instructions "$1" "$2")"
}

measure short lf "Short lines, LF"
measure short crlf "Short lines, CR LF"
measure long lf "Long lines, LF"

if [ "$MEMORY" != none ]; then
  echo
  echo "== Peak resident memory of brantix, KiB"
  printf '%-6s %12s %12s %12s\n' size "short LF" "short CR LF" "long LF"
  for s in $MEMORY; do
    line=$(printf '%-6s' "$s")
    for v in short-lf short-crlf long-lf; do
      BENCH_PAGE=$(page "$s" "${v%-*}" "${v#*-}")
      (cd "$RUN" && sh prepare-brantix.sh)
      kib=$(cd "$RUN" && /usr/bin/time -f %M "$BRANTIX" p.htm -1 <"$RUN/enter.txt" 2>&1 >/dev/null | tail -1)
      line="$line $(printf '%12s' "$kib")"
      cleanup
    done
    echo "$line"
  done
fi

# A page with a second name is written over itself, not renamed: the same
# page both ways, side by side, net of copying it in (the preparations).
if [ "$IN_PLACE" != none ]; then
  echo
  echo "== Written in place against renamed, short LF, wall s (median of $((RUNS * ROUNDS)))"
  for s in $IN_PLACE; do
    BENCH_PAGE=$(page "$s" short lf)
    json=$RUN/in-place.json
    (cd "$RUN" && hyperfine -N --style none --runs "$((RUNS * ROUNDS))" \
      --export-json "$json" \
      --prepare "sh prepare-brantix.sh" "sh brantix.sh" \
      --prepare "sh prepare-in-place.sh" "sh brantix.sh" >/dev/null)
    python3 - "$json" "$s" <<'PY'
import json, statistics, sys
runs = [statistics.median(r["times"]) for r in json.load(open(sys.argv[1]))["results"]]
print("%-6s renamed %.3f  in place %.3f  ratio %.2f (goal 2 or less)"
      % (sys.argv[2], runs[0], runs[1], runs[1] / runs[0]))
PY
    cleanup
    rm -f "$RUN/q.htm" "$json"
  done
fi

# The preview keeps nothing per cell: its peak memory must not grow with the
# page.
if [ "$PREVIEW_MEMORY" != none ]; then
  echo
  echo "== Peak resident memory of the preview (--dry-run), KiB (goal 16384 or less)"
  printf '%-6s %12s %12s %12s
' size "short LF" "short CR LF" "long LF"
  for s in $PREVIEW_MEMORY; do
    line=$(printf '%-6s' "$s")
    for v in short-lf short-crlf long-lf; do
      BENCH_PAGE=$(page "$s" "${v%-*}" "${v#*-}")
      (cd "$RUN" && sh prepare-brantix.sh)
      kib=$(cd "$RUN" && /usr/bin/time -f %M "$BRANTIX" --dry-run p.htm -1 </dev/null 2>&1 >/dev/null | tail -1)
      line="$line $(printf '%12s' "$kib")"
      cleanup
    done
    echo "$line"
  done
fi
