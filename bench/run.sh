#!/bin/sh
# Whole-run benchmark of brantix against plain copies of the same page.
#
#   bench/run.sh [SIZE]        SIZE: bytes, or with K, M or G; default 256M
#
# Builds the optimised program, generates a test page (bench/page.h) with LF
# and with CR LF line ends, then times with hyperfine, in rounds whose order
# rotates so that the commands alternate:
#   brantix   brantix page.htm -1, param.txt in the folder, Enter on stdin
#   floor     cat page > a && cat a > b   (the page copied twice)
#   floor-dd  the same with dd bs=256K: read() and write() through the
#             program even where cat lets the kernel copy (copy_file_range)
#   unix2dos  unix2dos -n page out        (one line-end conversion pass)
# and prints medians with min and max, the ratios, and brantix's peak
# resident memory (/usr/bin/time -v) on pages of 64 MiB, 256 MiB and 1 GiB.
# Before each timed run the outputs of the last one are removed and the file
# systems synced, so that no run pays for the write-back of another.
#
# Needs cmake, a C++20 compiler, hyperfine, unix2dos (dos2unix package) and
# /usr/bin/time (time package). Settings, from the environment:
#   BRANTIX_BENCH_DIR     scratch folder for the pages (build/bench-data);
#                         about 4 times the largest page is written there
#   BRANTIX_BENCH_BUILD   build folder (build/bench-run)
#   BRANTIX_BENCH_ROUNDS  rounds of alternation (3)
#   BRANTIX_BENCH_RUNS    timed runs of each command per round (3)
#   BRANTIX_BENCH_MEMORY  page sizes for the memory line ("64M 256M 1G",
#                         or "none")
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SIZE=${1:-256M}
BUILD=${BRANTIX_BENCH_BUILD:-$ROOT/build/bench-run}
DIR=${BRANTIX_BENCH_DIR:-$ROOT/build/bench-data}
ROUNDS=${BRANTIX_BENCH_ROUNDS:-3}
RUNS=${BRANTIX_BENCH_RUNS:-3}
MEMORY=${BRANTIX_BENCH_MEMORY:-64M 256M 1G}

for tool in cmake hyperfine unix2dos /usr/bin/time; do
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

echo "== Building $BUILD"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DBRANTIX_BENCH=ON -DBRANTIX_WERROR=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)" \
  --target brantix brantix_make_page >/dev/null
BRANTIX=$BUILD/brantix
MAKE_PAGE=$BUILD/bench/brantix_make_page

mkdir -p "$DIR/run"
DIR=$(cd "$DIR" && pwd)
RUN=$DIR/run
printf '2\nEcoute\nvideo.gif\nson2.gif\ncarte\nindex.htm\n' >"$RUN/param.txt"
printf '\n' >"$RUN/enter.txt"

# page SIZE VARIANT: the page's path, generated once and kept.
page() {
  p=$DIR/page-$1-$2.htm
  if [ ! -f "$p" ]; then
    if [ "$2" = crlf ]; then "$MAKE_PAGE" "$(bytes "$1")" crlf >"$p.tmp"
    else "$MAKE_PAGE" "$(bytes "$1")" >"$p.tmp"; fi
    mv "$p.tmp" "$p"
  fi
  echo "$p"
}

cleanup() { rm -f "$RUN/p.htm" "$RUN/p.htm.orig" "$RUN/a" "$RUN/b" "$RUN/out"; }
trap cleanup EXIT

# stats FILE: median, min and max of the numbers in FILE, in milliseconds.
stats() {
  sort -n "$1" | awk '{ t[NR] = $1 * 1000 }
    END { m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
          printf "%.0f %.0f %.0f\n", m, t[1], t[NR] }'
}

echo "== Machine"
echo "$(uname -srm), $(nproc 2>/dev/null || echo '?') cores," \
  "$(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //')," \
  "$(awk '/MemTotal/ { printf "%.0f GiB RAM", $2 / 1048576 }' /proc/meminfo 2>/dev/null)"
echo "scratch: $DIR ($(stat -f -c %T "$DIR" 2>/dev/null || echo '?'))"
echo "$(cat --version | head -1); $(hyperfine --version)"

for variant in lf crlf; do
  src=$(page "$SIZE" "$variant")
  echo
  echo "== $SIZE page, $variant line ends: $(wc -c <"$src") bytes," \
    "$ROUNDS rounds x $RUNS runs"
  times=$(mktemp -d)
  b="-n brantix --prepare 'sh -c \"cp \\\"$src\\\" p.htm && rm -f p.htm.orig && sync\"' 'sh -c \"\\\"$BRANTIX\\\" p.htm -1 <enter.txt >/dev/null\"'"
  f="-n floor --prepare 'sh -c \"rm -f a b && sync\"' 'sh -c \"cat \\\"$src\\\" >a && cat a >b\"'"
  d="-n floor-dd --prepare 'sh -c \"rm -f a b && sync\"' 'sh -c \"dd if=\\\"$src\\\" of=a bs=256K status=none && dd if=a of=b bs=256K status=none\"'"
  u="-n unix2dos --prepare 'sh -c \"rm -f out && sync\"' 'unix2dos -q -n \"$src\" out'"
  round=1
  while [ "$round" -le "$ROUNDS" ]; do
    case $((round % 4)) in
      1) order="$b $f $d $u" ;;
      2) order="$f $d $u $b" ;;
      3) order="$d $u $b $f" ;;
      0) order="$u $b $f $d" ;;
    esac
    (cd "$RUN" && eval hyperfine -N --style none --warmup 1 --runs "$RUNS" \
      --export-json "$times/round$round.json" "$order" 2>&1 >/dev/null |
      grep -v -e 'Warning: Statistical outliers' -e 'Warning: The first' -e '^ *$' >&2 || true)
    awk -v out="$times" '
      /"command":/ { sub(/.*"command": "/, ""); sub(/",?[ \t]*$/, ""); cmd = $0 }
      /"times": \[/ { inside = 1; next }
      inside && /\]/ { inside = 0; next }
      inside { gsub(/[ ,]/, ""); print >> (out "/" cmd ".times") }
    ' "$times/round$round.json"
    round=$((round + 1))
  done
  printf '%-10s %10s %10s %10s\n' command "median ms" "min ms" "max ms"
  for c in brantix floor floor-dd unix2dos; do
    set -- $(stats "$times/$c.times")
    printf '%-10s %10s %10s %10s\n' "$c" "$1" "$2" "$3"
    eval "med_$(echo $c | tr -d -)=$1"
  done
  awk -v b="$med_brantix" -v f="$med_floor" -v d="$med_floordd" -v u="$med_unix2dos" 'BEGIN {
    printf "ratio brantix/floor     %.2f\n", b / f
    printf "ratio brantix/floor-dd  %.2f\n", b / d
    printf "ratio unix2dos/brantix  %.2f\n", u / b }'
  rm -rf "$times"
done

if [ "$MEMORY" != none ]; then
  echo
  echo "== Peak resident memory of brantix (LF page)"
  for s in $MEMORY; do
    src=$(page "$s" lf)
    cp "$src" "$RUN/p.htm"
    rm -f "$RUN/p.htm.orig"
    kib=$(cd "$RUN" && /usr/bin/time -f %M "$BRANTIX" p.htm -1 <enter.txt 2>&1 >/dev/null | tail -1)
    printf '%-6s %6s KiB\n' "$s" "$kib"
    cleanup
  done
fi
