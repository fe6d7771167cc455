#!/bin/sh
# Every dashboard page passes HTML Tidy without errors (warnings are allowed,
# and listed): the sample log beside every report in single-file, split and
# ASCII form, the generated log of five hosts, the log full of markup and
# quotes, and a run without any log line.
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
sed 's/^OutputFormat *=.*/OutputFormat = 0/' "$conf" >"$work/ascii.conf"
for page in single split ascii generated hostile empty; do mkdir "$work/$page"; done

# dashboard NAME ARGUMENTS...: writes $work/NAME/dashboard.html
dashboard() {
    name=$1
    shift
    "$bin" "$@" -B "$work/$name" --dashboard dashboard.html >/dev/null 2>&1
}
dashboard single -c "$conf" -w -f "$src/examples/sample.log"
dashboard split -c "$work/split.conf" -w -f "$src/examples/sample.log"
dashboard ascii -c "$work/ascii.conf" -f "$src/examples/sample.log"
dashboard generated -c "$conf" -w -f "$src/tests/e2e/logs/generated_five_hosts.log"
dashboard hostile -g -G general.html -e -E envelopes.html -f "$src/tests/e2e/cases/hostile_markup/hostile.log"
dashboard empty -f /dev/null

passed=0
failed=0
for page in single split ascii generated hostile empty; do
    file="$work/$page/dashboard.html"
    if [ ! -s "$file" ]; then
        echo "FAIL $page: no dashboard written"
        failed=$((failed + 1))
        continue
    fi
    tidy -q -e "$file" >"$work/tidy.txt" 2>&1
    status=$?
    if [ "$status" -ge 2 ]; then
        echo "FAIL $page: tidy status $status"
        grep -i error "$work/tidy.txt" | head -5
        failed=$((failed + 1))
    else
        [ -s "$work/tidy.txt" ] && sed "s/^/$page: /" "$work/tidy.txt" | head -5
        passed=$((passed + 1))
    fi
done
echo "dashboard tidy: $passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" = 6 ]
