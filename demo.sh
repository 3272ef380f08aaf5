#!/bin/sh
# Builds brantix and runs it on the sample page, on a scratch copy in a
# temporary folder, in parameter-file mode: nothing needs typing and the
# sample in the repository stays as it is. Installs cmake, g++ and make
# with apt when they are missing and it runs as root.
set -eu
here=$(cd "$(dirname "$0")" && pwd)

# The build needs these three programs; each comes in the Debian package of
# the same name.
missing=""
for tool in cmake g++ make; do
  command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
# shellcheck disable=SC2086
"$here/tools/install-packages.sh" $missing

# Only the program is built, in a folder of its own: no test tools needed.
build="$here/build/demo"
cmake --preset default -S "$here" -B "$build" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target brantix -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/samples/liste.htm" "$here/samples/param.txt" "$work/"
cd "$work"
echo "\$ brantix liste.htm -1      (param.txt:)"
sed 's/^/    /' param.txt
echo
# The confirmation question is answered with Enter, which means yes.
status=0
printf '\n' | "$build/brantix" liste.htm -1 || status=$?
echo
echo "exit status: $status"
echo
echo "What changed in liste.htm (the backup liste.htm.orig holds the page as it was):"
diff liste.htm.orig liste.htm | tr -d '\r' || true
if cmp -s liste.htm "$here/samples/liste.htm.attendu"; then
  echo "liste.htm is byte for byte samples/liste.htm.attendu."
else
  echo "liste.htm differs from samples/liste.htm.attendu!" >&2
  exit 1
fi
