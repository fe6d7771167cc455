#!/bin/sh
# Installs what building and testing need on Debian (as root); then configures
# and builds into build/ (or build-sanitize/ with --sanitize).
set -eu
cd "$(dirname "$0")/.."
need=""
for pkg in g++ cmake make pkg-config tzdata faketime libbsd-dev libgtest-dev libgmock-dev libbenchmark-dev; do
    dpkg -s "$pkg" >/dev/null 2>&1 || need="$need $pkg"
done
if [ -n "$need" ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y $need
fi
if [ "${1:-}" = "--sanitize" ]; then
    cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUELM_SANITIZE=ON
    cmake --build build-sanitize -j"$(nproc)"
else
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
    cmake --build build -j"$(nproc)"
fi
