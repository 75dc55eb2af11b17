#!/usr/bin/env bash
# Builds ./build and packs both programs into a Debian package there
# (build/velloq-baseline_VERSION_ARCH.deb), whose path it prints last.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v dpkg-shlibdeps >/dev/null; then
  echo "package.sh: dpkg-shlibdeps is missing: run scripts/setup-debian.sh" >&2
  exit 1
fi
./scripts/build.sh
cd build
rm -f velloq-baseline_*.deb
cpack -G DEB >/dev/null
ls "$PWD"/velloq-baseline_*.deb
