#!/bin/sh
# Logs with RFC 3339 time stamps give exactly the run of their traditional
# twins (same wall-clock times, the year the run gives them): standard output,
# standard error, exit status and every report. Checked on the sample log and
# its committed twin (Central European offsets), and on a generated log
# rewritten in every stamp form, wholly and every other line.
#
#   rfc3339_twin.sh BINARY SOURCE_DIR
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
src=$(cd "$2" && pwd)
convert="$src/tests/e2e/to_rfc3339.awk"
generator=$(dirname "$bin")/tools/quelm_gen_log
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passed=0
failed=0
now="2026-12-06 12:00:00"

. "$src/tests/e2e/same_run.sh"
run() { run_reports "$1" -w -f "$2"; }

# The message lists quote whole log lines: there the RFC 3339 stamps are put
# back into the traditional form before the reports are compared.
traditional_stamps() {
    perl -pi -e 'BEGIN { @m = qw(Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec) }
        s/\b\d{4}-(\d\d)-(\d\d)[Tt](\d\d:\d\d:\d\d)(?:\.\d+)?(?:[Zz]|[+-]\d\d:?\d\d)/sprintf("%s %2d %s", $m[$1 - 1], $2, $3)/ge' "$1"/*
}

# twin PLAIN OTHER: OTHER's run must equal PLAIN's.
twin() {
    traditional_stamps "$2"
    if same_run "$1" "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

export TZ=Europe/Berlin
awk -v year=2026 -v offset=+01:00 -v forms=1 -f "$convert" "$src/examples/sample.log" >sample_converted.log
if cmp -s sample_converted.log "$src/examples/sample_rfc3339.log"; then
    passed=$((passed + 1))
else
    echo "FAIL: examples/sample_rfc3339.log is not the conversion of examples/sample.log"
    failed=$((failed + 1))
fi
run sample "$src/examples/sample.log"
run sample_rfc "$src/examples/sample_rfc3339.log"
twin sample sample_rfc

export TZ=UTC
"$generator" 11 20000 3 >generated.log
awk -v year=2026 -v offset=+00:00 -v forms=1 -f "$convert" generated.log >generated_rfc.log
awk -v year=2026 -v offset=Z -v mixed=1 -f "$convert" generated.log >generated_mixed.log
converted=$(grep -c '^2026-' generated_rfc.log)
if [ "$converted" -gt 19000 ]; then passed=$((passed + 1)); else echo "FAIL: only $converted lines converted"; failed=$((failed + 1)); fi
run generated generated.log
run generated_rfc generated_rfc.log
run generated_mixed generated_mixed.log
twin generated generated_rfc
twin generated generated_mixed

echo "rfc3339 twins: $passed passed, $failed failed"
[ "$failed" = 0 ]
