#!/bin/sh
# Dependencies go one way: driver -> input -> stats -> report, with geo below
# them and the settings, messages and text helpers of driver/ shared by all.
# Fails when a file includes a header of a layer above its own.
set -u
top=${1:-.}
cd "$top" || exit 2
status=0
check() {  # folder, forbidden include pattern, reason
    hits=$(grep -rnE "#include \"($2)" "$1" 2>/dev/null)
    if [ -n "$hits" ]; then
        echo "$1 must not include $2 ($3):"
        echo "$hits"
        status=1
    fi
}
upper_driver='driver/(program|command_line|config_file)\.h'
check geo "input/|stats/|report/|$upper_driver" "geo is the bottom layer"
check input "report/|stats/(build_phase)|$upper_driver" "input feeds stats and reports"
check stats "report/|$upper_driver" "stats feed reports"
check report "$upper_driver" "only the driver runs the phases"
exit $status
