#!/bin/sh
# Installs the Debian packages named as arguments, for check.sh and demo.sh:
# with apt-get when run as root, otherwise prints the command to run and
# fails.
#   tools/install-packages.sh PACKAGE...
set -eu
[ $# -gt 0 ] || exit 0
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "Installing: $*"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
else
  echo "Missing: $*" >&2
  echo "Install them with: sudo apt-get install -y $*" >&2
  exit 1
fi
