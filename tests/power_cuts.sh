#!/bin/sh
# The full power-cut sweep of a page written in place: every kind of cut at
# every call of the write, and a second cut of every kind at every call of
# each recovery that follows (on the larger pages, one second cut per
# recovery, in turn). check.sh runs a sample that reaches every
# call once. Needs the default build: cmake --preset default, then
# cmake --build --preset default.
#
# Usage: tests/power_cuts.sh [-p small|crlf300k|large] [-l here|elsewhere]
#                            [-t folder] [-e]
#   -p  one page only: the small one (3 KiB), one of about 300 KiB whose
#       line ends are all CR LF, or the large one (580 KiB); without -p,
#       the small page, then the large one.
#   -l  the page's second hard link in its own folder (the default) or in
#       another folder.
#   -t  the folder for the scratch folders (TMPDIR), e.g. a ramfs mount
#       (mount -t ramfs ramfs /mnt/x, as root).
#   -e  a second cut of every kind at every call of each recovery on the
#       larger pages too (hours).
set -eu
power=full
while getopts p:l:t:e opt; do
  case $opt in
    p) BRANTIX_POWER_PAGE=$OPTARG && export BRANTIX_POWER_PAGE ;;
    l) BRANTIX_POWER_LINK=$OPTARG && export BRANTIX_POWER_LINK ;;
    t) TMPDIR=$(cd "$OPTARG" && pwd) && export TMPDIR ;;
    e) power=every ;;
    *) sed -n '9,19p' "$0" >&2 && exit 2 ;;
  esac
done
cd "$(dirname "$0")/.."
BRANTIX_POWER=$power BRANTIX_FAULTY="$PWD/build/default/tests/fault/brantix_faulty" \
  BRANTIX_PROGRAM="$PWD/build/default/brantix" \
  exec build/default/tests/fault/brantix_fault_tests \
  --gtest_filter='FaultSweep.PowerCutsWhileWritingInPlace'
