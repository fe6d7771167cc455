#!/bin/sh
# Sets up, builds and runs quelm_stat on the bundled sample log with the sample
# configuration; the reports land in ./reports/.
set -eu
cd "$(dirname "$0")/.."
sh tools/setup.sh
mkdir -p reports
build/quelm_stat -c examples/quelm_stat.conf -f examples/sample.log -B reports
echo "Reports written to $(pwd)/reports/"
