#!/bin/sh
# Builds the Debian package from this build tree, unpacks it into a scratch
# root with dpkg -x, checks its metadata and files, and runs the installed
# brantix on each page in parameter-file mode, comparing the result byte for
# byte with the expected page.
#
# usage: deb_test.sh CPACK BUILD_DIR SOURCE_DIR VERSION PAGE PARAM EXPECTED...
set -eu

cpack=$1 build=$2 src=$3 version=$4
shift 4
[ $# -ge 3 ] && [ $(($# % 3)) -eq 0 ] || { echo "usage: $0 CPACK BUILD SRC VERSION PAGE PARAM EXPECTED..." >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/brantix-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

# The package.
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" \
  >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; }
deb=$(find "$work/out" -maxdepth 1 -name 'brantix_*.deb')
[ -n "$deb" ] && [ "$(echo "$deb" | wc -l)" -eq 1 ] || fail "no single .deb in $work/out"
echo "package: $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = brantix ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version"
[ "$(field Section)" = web ] || fail "Section: $(field Section)"
field Maintainer | grep -Eq '^[^<]+ <[^@ ]+@[^> ]+>$' || fail "Maintainer: $(field Maintainer)"
field Depends | grep -q 'libc6 (>=' || fail "Depends without libc6: $(field Depends)"
[ "$(field Description | wc -l)" -ge 3 ] || fail "Description has no long text"
field Description | head -n 1 | grep -q 'HTML' || fail "Description: $(field Description | head -n 1)"

# Its files, unpacked as dpkg would.
root="$work/root"
dpkg -x "$deb" "$root"
[ -x "$root/usr/bin/brantix" ] || fail "no usr/bin/brantix"
gzip -dc "$root/usr/share/man/man1/brantix.1.gz" | cmp -s - "$src/man/brantix.1" ||
  fail "usr/share/man/man1/brantix.1.gz is not man/brantix.1"
warnings=$(gzip -dc "$root/usr/share/man/man1/brantix.1.gz" |
  groff -ww -man -Tutf8 2>&1 >/dev/null) || fail "groff failed on the installed page"
[ -z "$warnings" ] || fail "the installed manual page renders with warnings: $warnings"
if [ -f "$src/README.md" ]; then
  cmp -s "$root/usr/share/doc/brantix/README.md" "$src/README.md" ||
    fail "usr/share/doc/brantix/README.md is not README.md"
fi
unexpected=$(cd "$root" && find . -type f | grep -Ev '^\./usr/(bin/brantix|share/man/man1/brantix\.1\.gz|share/doc/brantix/(README\.md|docs/[a-z]+\.png))$' || true)
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"

# cmake --install lays out the same files under a prefix.
"${CMAKE:-cmake}" --install "$build" --prefix "$work/prefix" >/dev/null ||
  fail "cmake --install"
listing() { (cd "$1" && find . -type f | sort); }
[ "$(listing "$work/prefix")" = "$(listing "$root/usr")" ] ||
  fail "cmake --install and the package differ: $(listing "$work/prefix") / $(listing "$root/usr")"

# The installed program at work.
confirm='Voulez vous continuer [O|N] (Par defaut O):'
n=0
while [ $# -gt 0 ]; do
  page=$1 param=$2 expected=$3
  shift 3
  n=$((n + 1))
  dir="$work/run$n"
  name=$(basename "$page")
  mkdir "$dir"
  cp "$page" "$dir/$name"
  cp "$param" "$dir/param.txt"
  status=0
  out=$(cd "$dir" && printf '\n' | "$root/usr/bin/brantix" "$name" -1) || status=$?
  [ "$status" -eq 0 ] || fail "$name: status $status, output: $out"
  [ "$out" = "$confirm" ] || fail "$name: output: $out"
  cmp "$dir/$name" "$expected" || fail "$name differs from $expected"
  python3 -c 'import sys; a, b = (open(p, "rb").read() for p in sys.argv[1:]); sys.exit(a.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n") != b)' \
    "$page" "$dir/$name.orig" || fail "$name.orig is not the page with CR LF line ends"
  echo "$name: as expected"
done
