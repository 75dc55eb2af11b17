#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tools and the tests need.
set -euo pipefail
PACKAGES=(cmake g++ make pkg-config libpugixml-dev libsqlite3-dev sqlite3 libgtest-dev)
# The tests read the JSON the command line writes.
PACKAGES+=(nlohmann-json3-dev)
# PostgreSQL: the client library, and the server and psql for the tests.
PACKAGES+=(libpq-dev postgresql)
# The wizard window (Qt 6 Widgets); Xvfb to run it without a display.
PACKAGES+=(qt6-base-dev xvfb xauth)
# scripts/wizard-screenshots.sh drives the window and takes its pictures.
PACKAGES+=(xdotool imagemagick)
# The fuzz targets: clang with its sanitizer and libFuzzer run-times.
PACKAGES+=(clang libclang-rt-14-dev)
# The benchmark (bench/run.sh) measures with GNU time.
PACKAGES+=(time)
# scripts/package.sh: dpkg-shlibdeps names the Debian package's dependencies;
# the install test completes the command line through bash-completion.
PACKAGES+=(dpkg-dev bash-completion)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
