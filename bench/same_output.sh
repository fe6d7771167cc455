#!/bin/sh
# same_output.sh BINARY LOG OUTDIR: runs BINARY on LOG in every output mode a
# change of structure or speed must leave alone (every report in ASCII, HTML
# single-file and split, weekly tables, country lists, the debug dumps) with a
# frozen clock, into OUTDIR/<mode>/ with standard output, standard error and
# exit status beside each. Two such folders, before and after a change, must
# compare equal with `diff -r`.
set -eu
[ $# -eq 3 ] || { echo "usage: $0 BINARY LOG OUTDIR" >&2; exit 2; }
bin=$(realpath "$1")
log=$(realpath "$2")
out=$3
src=$(cd "$(dirname "$0")/.." && pwd)
now="2026-01-15 12:00:00"  # a frozen clock
mkdir -p "$out"
out=$(realpath "$out")
split="$out/split.conf"
sed 's/^SplitHtmlOutput = 0/SplitHtmlOutput = 1/' "$src/examples/quelm_stat.conf" >"$split"

run() {  # MODE CONFIG ARGS...
    mode=$1 config=$2
    shift 2
    mkdir -p "$out/$mode"
    (cd "$src/examples" &&
        faketime -f "$now" "$bin" -c "$config" -B "$out/$mode" -f "$log" "$@" \
            >"$out/$mode.out" 2>"$out/$mode.err"; echo $? >"$out/$mode.status")
}

run ascii "$src/examples/quelm_stat.conf" -a
run html "$src/examples/quelm_stat.conf"
run split "$split"
run weekly "$src/examples/quelm_stat.conf" -w -a
run weekly_html "$src/examples/quelm_stat.conf" -w
run country "$src/examples/quelm_stat.conf" -C -v -p
run country_split "$split" -C -w
run nomerge "$src/examples/quelm_stat.conf" -P -a
rm -f "$split"
