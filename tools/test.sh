#!/bin/sh
# Sets up, builds and runs every test (add --sanitize for an ASan/UBSan build).
set -eu
cd "$(dirname "$0")/.."
sh tools/setup.sh "$@"
dir=build
[ "${1:-}" = "--sanitize" ] && dir=build-sanitize
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
