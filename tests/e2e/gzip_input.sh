#!/bin/sh
# A gzip-compressed log gives exactly the run of the plain log: the same
# standard output, standard error, exit status and report files, read from a
# file or from standard input, in one gzip member or in several (cut inside a
# line). A truncated compressed log gives the lines before the cut and says so.
#
#   gzip_input.sh BINARY SOURCE_DIR
set -u
# faketime preloads itself ahead of the sanitizer runtime of a sanitizer build.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
export TZ=UTC
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
src=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
now="2026-12-06 12:00:00"

cp "$src/examples/sample.log" plain.log
gzip -9 -c plain.log >one.gz
size=$(wc -c <plain.log)
half=$((size / 2 + 3))
{ head -c "$half" plain.log | gzip -c; tail -c +"$((half + 1))" plain.log | gzip -1 -c; } >two.gz

# run NAME ARGS...: every report of the sample configuration into NAME/.
run() {
    name=$1
    shift
    mkdir "$name"
    faketime -f "$now" "$bin" -c "$src/examples/quelm_stat.conf" -B "$name" "$@" >"$name.out" 2>"$name.err"
    echo $? >"$name.status"
}

same() {
    for part in out err status; do
        if ! cmp -s "plain.$part" "$1.$part"; then
            echo "FAIL $1: standard $part differs from the plain log's"
            diff "plain.$part" "$1.$part" | head -5
            failed=1
        fi
    done
    if ! diff -r plain "$1" >/dev/null; then
        echo "FAIL $1: reports differ from the plain log's"
        diff -r plain "$1" | head -5
        failed=1
    fi
}

run plain -f plain.log
[ "$(ls plain | wc -l)" -gt 10 ] || { echo "FAIL: the plain run wrote too few reports"; failed=1; }
run gz_file -f one.gz
same gz_file
run two_members -f two.gz
same two_members
mkdir gz_stdin
faketime -f "$now" "$bin" -c "$src/examples/quelm_stat.conf" -B gz_stdin <one.gz >gz_stdin.out 2>gz_stdin.err
echo $? >gz_stdin.status
same gz_stdin

# Truncated: the lines before the cut are read, then one message.
head -c "$(($(wc -c <one.gz) / 2))" one.gz >cut.gz
faketime -f "$now" "$bin" -v -f cut.gz >cut.out 2>cut.err
status=$?
lines=$(sed -n 's/^\([0-9]*\) total lines processed$/\1/p' cut.err)
if [ "$status" != 0 ] || [ -z "$lines" ] || [ "$lines" -le 0 ] || [ "$lines" -ge "$(wc -l <plain.log)" ] ||
   ! grep -qx "ERROR: compressed input damaged or truncated after line $lines!" cut.err; then
    echo "FAIL truncated: status $status, lines '$lines'"
    cat cut.err | tail -5
    failed=1
fi

[ "$failed" = 0 ] && echo "gzip input: 5 passed, 0 failed"
exit "$failed"
