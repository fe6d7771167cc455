#!/bin/sh
# Every dashboard page passes HTML Tidy without errors (warnings are allowed, and
# listed): the golden pages of tests/e2e/cases/dashboard_*, and pages written here
# (the sample log beside every report in single-file and split form, the generated
# log of five hosts, the log full of markup with links, a run without any log line).
#   dashboard_tidy.sh BINARY SOURCE_DIR
set -u
export TZ=UTC
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
src=$(cd "$2" && pwd)
command -v tidy >/dev/null || { echo "FAIL: tidy is not installed (Debian package tidy)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
conf="$src/examples/quelm_stat.conf"
sed 's/^SplitHtmlOutput *=.*/SplitHtmlOutput = 1/' "$conf" >"$work/split.conf"
# dashboard NAME ARGUMENTS...: writes $work/NAME/dashboard.html
dashboard() {
    out="$work/$1"
    shift
    mkdir "$out" && "$bin" "$@" -B "$out" --dashboard dashboard.html >/dev/null 2>&1
}
dashboard single -c "$conf" -w -f "$src/examples/sample.log"
dashboard split -c "$work/split.conf" -w -f "$src/examples/sample.log"
dashboard generated -c "$conf" -w -f "$src/tests/e2e/logs/generated_five_hosts.log"
dashboard hostile -g -G general.html -e -E envelopes.html -f "$src/tests/e2e/cases/hostile_markup/hostile.log"
dashboard empty -f /dev/null

passed=0 failed=0
for file in "$work"/single/dashboard.html "$work"/split/dashboard.html "$work"/generated/dashboard.html \
    "$work"/hostile/dashboard.html "$work"/empty/dashboard.html "$src"/tests/e2e/cases/dashboard_*/expected/dashboard.html; do
    page=${file#"$work"/}
    page=${page#"$src"/tests/e2e/cases/}
    tidy -q -e "$file" >"$work/tidy.txt" 2>&1
    status=$?
    if [ ! -s "$file" ] || [ "$status" -ge 2 ]; then
        echo "FAIL $page: no page or tidy status $status"
        grep -i error "$work/tidy.txt" | head -5
        failed=$((failed + 1))
    else
        [ -s "$work/tidy.txt" ] && sed "s|^|$page: |" "$work/tidy.txt" | head -5
        passed=$((passed + 1))
    fi
done
echo "dashboard tidy: $passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" -ge 10 ]
