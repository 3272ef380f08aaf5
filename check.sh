#!/bin/sh
# Builds everything and runs every test: the native program, its unit and
# end-to-end tests without vector instructions, the same under
# AddressSanitizer and UBSan (with a smaller fault sweep),
# and brantix.exe (cross-built with MinGW-w64) under Wine; then the fuzz
# targets and the code's formatting. Installs what
# is missing with apt when run as root.
#
# Each preset is configured with the tests on, whatever an earlier configure
# left in its cache, and each ctest fails when it finds no test: a build
# without tests cannot pass here.
set -eu
cd "$(dirname "$0")"

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
tree_before=$(mktemp)
tree_after=$(mktemp)
cleanup="rm -f '$tree_before' '$tree_after'"
# shellcheck disable=SC2064
trap "$cleanup" EXIT
git status --porcelain --untracked-files=all 2>/dev/null >"$tree_before" ||
  true

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One Wine server for the whole check, its prefix and services started
# first with no output to hold: a server that ends between two programs
# (by default three seconds after the last) resets the connection of a
# program starting just then, and fails a test for nothing.
mkdir -p "${WINEPREFIX:-$HOME/.wine}"
if wineserver -p 2>/dev/null; then
  # shellcheck disable=SC2064
  trap "wineserver -k 2>/dev/null || true; $cleanup" EXIT
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
jobs=$(nproc 2>/dev/null || echo 2)
# The presets show warnings; here, as in CI, a warning fails the build.
configure="-DBRANTIX_WERROR=ON -DBUILD_TESTING=ON"

echo "== Windows: brantix.exe and its unit tests under Wine"
# shellcheck disable=SC2086
cmake --preset windows $configure
cmake --build --preset windows -j "$jobs"
ctest --preset windows --no-tests=error

echo "== Native: unit and end-to-end tests, the latter also against brantix.exe"
# shellcheck disable=SC2086
cmake --preset default $configure \
  -DBRANTIX_WINDOWS_EXE="$PWD/build/windows/brantix.exe"
cmake --build --preset default -j "$jobs"
# Every failure fails the check. The one thing retried is named in the
# test harness (tests/process.cc): a program under Wine that ends with
# status 1 having printed nothing, started once more, with a line in the
# test's log.
ctest --preset default --no-tests=error -j "$jobs"

echo "== Portable: the unit and end-to-end tests without vector instructions"
# The text and marker code has a portable version of each vector search;
# this build (BRANTIX_PORTABLE) takes it everywhere.
# shellcheck disable=SC2086
cmake --preset portable $configure
cmake --build --preset portable -j "$jobs" --target brantix brantix_faulty \
  brantix_unit_tests brantix_e2e_tests
ctest --preset portable --no-tests=error -j "$jobs"

echo "== Native under AddressSanitizer and UBSan"
# shellcheck disable=SC2086
cmake --preset asan $configure
cmake --build --preset asan -j "$jobs"
ctest --preset asan --no-tests=error -j "$jobs"

echo "== Fuzzing"
fuzz/run.sh

echo "== Formatting (clang-format, .clang-format)"
git ls-files -z '*.cc' '*.h' | xargs -0 clang-format --dry-run --Werror

echo "== The work tree as the check found it (git status --porcelain)"
git status --porcelain --untracked-files=all 2>/dev/null >"$tree_after" ||
  true
if ! cmp -s "$tree_before" "$tree_after"; then
  echo "The tests changed the work tree; before, then after:" >&2
  diff "$tree_before" "$tree_after" >&2 || true
  exit 1
fi

echo "All tests passed."
