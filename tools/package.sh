#!/bin/sh
# Builds the two packages from this tree:
#   build/packages/brantix_<version>_<arch>.deb   native build (Debian, Ubuntu)
#   build/packages/brantix-<version>-win64.zip    brantix.exe, the README and its pictures
# Needs cmake, g++, dpkg-dev, file and g++-mingw-w64-x86-64 (and zip for
# unpacking the .zip); the tests are not built (./check.sh runs them).
set -eu
cd "$(dirname "$0")/.."
out=build/packages
mkdir -p "$out"
jobs=$(nproc 2>/dev/null || echo 2)

echo "== Debian package (native build in build/package)"
cmake --preset default -B build/package -DBUILD_TESTING=OFF >/dev/null
cmake --build build/package -j "$jobs"
cpack --config build/package/CPackConfig.cmake -G DEB -B "$out"

echo "== Windows zip (MinGW-w64 build in build/package-windows)"
cmake --preset windows -B build/package-windows -DBUILD_TESTING=OFF >/dev/null
cmake --build build/package-windows -j "$jobs"
cpack --config build/package-windows/CPackConfig.cmake -G ZIP -B "$out"

rm -rf "$out/_CPack_Packages"
echo "== Packages in $out:"
ls -l "$out"/*.deb "$out"/*.zip
