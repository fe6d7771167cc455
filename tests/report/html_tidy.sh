#!/bin/sh
# Every HTML report of full runs passes HTML Tidy without errors (warnings are allowed): the sample
# log with every report in one file each and split per view, with the IP range databases, and the
# log full of markup and quotes, whose texts must stay text.
#   html_tidy.sh BINARY SOURCE_DIR
set -u
export TZ=UTC
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
src=$(cd "$2" && pwd)
command -v tidy >/dev/null || { echo "FAIL: tidy is not installed (Debian package tidy)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed 's/^SplitHtmlOutput *=.*/SplitHtmlOutput = 1/' "$src/examples/quelm_stat.conf" >"$work/split.conf"
mkdir "$work/single" "$work/split" "$work/hostile"

# From examples/, so that -C finds the sample IP range files in ./.
(cd "$src/examples" &&
    "$bin" -c quelm_stat.conf -C -w -f sample.log -B "$work/single" &&
    "$bin" -c "$work/split.conf" -C -w -f sample.log -B "$work/split") >/dev/null 2>&1
hostile="$src/tests/e2e/cases/hostile_markup"
(cd "$hostile" && eval "set -- $(cat cmd)" && "$bin" "$@" -B "$work/hostile") >/dev/null 2>&1

passed=0
failed=0
for report in "$work"/single/*.html "$work"/split/*.html "$work"/hostile/*.html; do
    [ -f "$report" ] || continue
    tidy -q -e "$report" >"$work/tidy.txt" 2>&1
    status=$?
    if [ "$status" -ge 2 ]; then
        echo "FAIL ${report#"$work"/}: tidy status $status"
        grep -i error "$work/tidy.txt" | head -5
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
done
[ "$passed" -ge 90 ] || { echo "FAIL: only $passed HTML reports were written"; failed=$((failed + 1)); }
echo "html tidy: $passed passed, $failed failed"
[ "$failed" = 0 ]
