#!/bin/sh
# Installs what building and testing need on Debian (as root); then configures
# and builds into build/ (or build-sanitize/ with --sanitize, or the libFuzzer
# targets into build-fuzz/ with --fuzz, which also installs clang).
set -eu
cd "$(dirname "$0")/.."
packages="g++ cmake make pkg-config tzdata faketime gzip tidy dpkg-dev libbsd-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev python3 python3-jsonschema python3-prometheus-client chromium"
[ "${1:-}" = "--fuzz" ] && packages="$packages clang-14 libclang-rt-14-dev"
need=""
for pkg in $packages; do
    dpkg -s "$pkg" >/dev/null 2>&1 || need="$need $pkg"
done
if [ -n "$need" ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y $need
fi
case "${1:-}" in
--sanitize)
    cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUELM_SANITIZE=ON
    cmake --build build-sanitize -j"$(nproc)"
    ;;
--fuzz)
    CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELM_FUZZ=ON -DQUELM_TESTS=OFF
    cmake --build build-fuzz -j"$(nproc)" --target pipeline_fuzzer config_fuzzer ip_ranges_fuzzer
    ;;
*)
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
    cmake --build build -j"$(nproc)"
    ;;
esac
