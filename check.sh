#!/bin/sh
# Builds everything and runs every test: the native program, the same under
# AddressSanitizer and UBSan, and brantix.exe (cross-built with MinGW-w64)
# under Wine. Installs what is missing with apt when run as root.
set -eu
cd "$(dirname "$0")"

packages="cmake g++ make libgtest-dev googletest g++-mingw-w64-x86-64 wine wine64
  clang libclang-rt-14-dev chromium groff man-db dpkg-dev file python3"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" ||
    missing="$missing $p"
done
# shellcheck disable=SC2086
tools/install-packages.sh $missing

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
jobs=$(nproc 2>/dev/null || echo 2)
# The presets show warnings; here, as in CI, a warning fails the build.
werror=-DBRANTIX_WERROR=ON

echo "== Windows: brantix.exe and its unit tests under Wine"
cmake --preset windows "$werror"
cmake --build --preset windows -j "$jobs"
ctest --preset windows

echo "== Native: unit and end-to-end tests, the latter also against brantix.exe"
cmake --preset default "$werror" -DBRANTIX_WINDOWS_EXE="$PWD/build/windows/brantix.exe"
cmake --build --preset default -j "$jobs"
ctest --preset default

echo "== Native under AddressSanitizer and UBSan"
cmake --preset asan "$werror"
cmake --build --preset asan -j "$jobs"
ctest --preset asan

if [ -x fuzz/run.sh ]; then
  echo "== Fuzzing"
  fuzz/run.sh
fi
echo "All tests passed."
