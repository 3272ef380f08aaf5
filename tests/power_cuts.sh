#!/bin/sh
# The full power-cut sweep of a page written in place: every kind of cut at
# every call of the write, and a second cut of every kind at every call of
# each recovery that follows (on the large page, one second cut per
# recovery, in turn). check.sh runs a sample that reaches every
# call once. Needs the default build: cmake --preset default, then
# cmake --build --preset default.
set -eu
cd "$(dirname "$0")/.."
BRANTIX_POWER=full BRANTIX_FAULTY="$PWD/build/default/tests/fault/brantix_faulty" \
  BRANTIX_PROGRAM="$PWD/build/default/brantix" \
  exec build/default/tests/fault/brantix_fault_tests \
  --gtest_filter='FaultSweep.PowerCutsWhileWritingInPlace'
