#!/bin/sh
# Builds everything and runs every test: the native program, its unit and
# end-to-end tests without vector instructions, the same under
# AddressSanitizer and UBSan (with a smaller fault sweep),
# and brantix.exe (cross-built with MinGW-w64) under Wine; then the fuzz
# targets and the code's formatting. Installs what
# is missing with apt when run as root. Fails when the tests leave the work
# tree other than they found it, and prints each stage's time at the end.
#
# Each preset is configured with the tests on, whatever an earlier configure
# left in its cache, and each ctest fails when it finds no test: a build
# without tests cannot pass here.
set -eu
cd "$(dirname "$0")"

# Each stage's time, printed at the end, also when a stage fails: its
# wall-clock seconds, and the CPU seconds (user + system) of the programs
# it ran, which tell where the time goes on a machine that others share.
times_now=$(mktemp)
stage_times=$(mktemp)
tree_before=$(mktemp)
tree_after=$(mktemp)
stage_name=""
# Ends the stage running, if any, and starts the one named $1 (none when
# empty), announced by $2.
stage() {
  times >"$times_now"
  wall=$(date +%s.%N)
  # "times" prints the shell's, then its children's, user and system times.
  cpu=$(awk '{ for (i = 1; i <= 2; i++) {
      split($i, t, "m"); total += t[1] * 60 + t[2] } }
    END { printf "%.2f", total }' "$times_now")
  if [ -n "$stage_name" ]; then
    awk -v n="$stage_name" -v w="$wall" -v w0="$stage_wall" -v c="$cpu" \
      -v c0="$stage_cpu" 'BEGIN { printf "%s\t%.1f\t%.1f\n", n, w - w0, c - c0 }' \
      >>"$stage_times"
  fi
  stage_name=$1 stage_wall=$wall stage_cpu=$cpu
  if [ -n "$stage_name" ]; then echo "== $2"; fi
}
wine_server=""
finish() {
  status=$?
  stage ""
  if [ -s "$stage_times" ]; then
    echo "== Time per stage, in seconds: wall clock, and CPU (user + system)"
    awk -F '\t' '{ printf "%-12s %7.1f %7.1f\n", $1, $2, $3; w += $2; c += $3 }
      END { printf "%-12s %7.1f %7.1f\n", "total", w, c }' "$stage_times"
  fi
  if [ -n "$wine_server" ]; then wineserver -k 2>/dev/null || true; fi
  rm -f "$times_now" "$stage_times" "$tree_before" "$tree_after"
  exit "$status"
}
trap finish EXIT

stage packages "Packages"
missing_of() {
  missing=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" ||
      missing="$missing $p"
  done
  echo "$missing"
}

packages="cmake g++ make libgtest-dev googletest g++-mingw-w64-x86-64 wine
  wine64 clang clang-format chromium groff man-db dpkg-dev file python3
  acl util-linux mount"
# shellcheck disable=SC2046,SC2086
tools/install-packages.sh $(missing_of $packages)
# The sanitizer runtime of the fuzz targets comes in a package named after
# the installed clang's major version.
clang_major=$(clang -dumpversion | cut -d. -f1)
# shellcheck disable=SC2046
tools/install-packages.sh $(missing_of "libclang-rt-$clang_major-dev")

# What git sees in the work tree before the tests (build/ is ignored): the
# tests may add nothing to it.
git status --porcelain --untracked-files=all 2>/dev/null >"$tree_before" ||
  true

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One Wine server for the whole check, its prefix and services started
# before the first test with no output to hold: a server that ends between
# two programs (by default three seconds after the last) resets the
# connection of a program starting just then, and fails a test for nothing.
# A new prefix takes a while to make: brantix.exe builds meanwhile.
mkdir -p "${WINEPREFIX:-$HOME/.wine}"
wine_ready=""
if wineserver -p 2>/dev/null; then
  wine_server=yes
  wine cmd /c exit </dev/null >/dev/null 2>&1 &
  wine_ready=$!
fi
jobs=$(nproc 2>/dev/null || echo 2)
# The presets show warnings; here, as in CI, a warning fails the build.
configure="-DBRANTIX_WERROR=ON -DBUILD_TESTING=ON"

stage windows "Windows: brantix.exe and its unit tests under Wine"
# shellcheck disable=SC2086
cmake --preset windows $configure
cmake --build --preset windows -j "$jobs"
if [ -n "$wine_ready" ]; then wait "$wine_ready" || true; fi
ctest --preset windows --no-tests=error

stage native "Native: unit and end-to-end tests, the latter also against brantix.exe"
# shellcheck disable=SC2086
cmake --preset default $configure -DBRANTIX_TEST_PROGRAMS_FROM= \
  -DBRANTIX_WINDOWS_EXE="$PWD/build/windows/brantix.exe"
cmake --build --preset default -j "$jobs"
# Every failure fails the check. The one thing retried is named in the
# test harness (tests/process.cc): a program under Wine that ends with
# status 1 having printed nothing, started once more, with a line in the
# test's log.
ctest --preset default --no-tests=error -j "$jobs"

stage portable "Portable: the unit and end-to-end tests without vector instructions"
# The text and marker code has a portable version of each vector search;
# this build (BRANTIX_PORTABLE) takes it everywhere.
# This build and the next compile what they test, the programs and the
# unit tests; the end-to-end and fault-sweep test programs, which only
# start the program given them, are the native build's.
harness="-DBRANTIX_TEST_PROGRAMS_FROM=$PWD/build/default"
# shellcheck disable=SC2086
cmake --preset portable $configure "$harness"
cmake --build --preset portable -j "$jobs" --target brantix brantix_faulty \
  brantix_unit_tests
ctest --preset portable --no-tests=error -j "$jobs"

stage sanitizers "Native under AddressSanitizer and UBSan"
# shellcheck disable=SC2086
cmake --preset asan $configure "$harness"
cmake --build --preset asan -j "$jobs"
ctest --preset asan --no-tests=error -j "$jobs"

stage fuzzing "Fuzzing"
fuzz/run.sh

stage formatting "Formatting (clang-format, .clang-format)"
git ls-files -z '*.cc' '*.h' | xargs -0 clang-format --dry-run --Werror

stage "clean tree" "The work tree as the check found it (git status --porcelain)"
git status --porcelain --untracked-files=all 2>/dev/null >"$tree_after" ||
  true
if ! cmp -s "$tree_before" "$tree_after"; then
  echo "The tests changed the work tree; before, then after:" >&2
  diff "$tree_before" "$tree_after" >&2 || true
  exit 1
fi

stage ""
echo "All tests passed."
