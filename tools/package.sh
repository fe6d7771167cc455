#!/bin/sh
# Builds the Debian package build/quelm-stat_<version>_<arch>.deb (installs
# the build dependencies first, as tools/setup.sh does). Install it with
#   apt-get install ./build/quelm-stat_*.deb
set -eu
cd "$(dirname "$0")/.."
sh tools/setup.sh
(cd build && cpack -G DEB)
ls build/quelm-stat_*.deb
