#!/bin/sh
# A gzip-compressed log gives exactly the run of the plain log: the same
# standard output, standard error, exit status and report files, read from a
# file or from standard input, in one gzip member or in several (cut inside a
# line). A truncated compressed log gives the lines before the cut and says so.
#
#   gzip_input.sh BINARY SOURCE_DIR
set -u
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

. "$src/tests/e2e/same_run.sh"
same() { same_run plain "$1" || failed=1; }

run_reports plain -f plain.log
run_reports gz_file -f one.gz
same gz_file
run_reports two_members -f two.gz
same two_members
run_reports gz_stdin <one.gz
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
