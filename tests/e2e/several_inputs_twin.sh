#!/bin/sh
# Several input files give exactly the run of one log that is their
# concatenation, and a time window gives exactly the reports of the log
# filtered beforehand.
#
# Files: a generated log cut into three (the first plain and without its last
# newline, the second gzip, the third gzip read from standard input as "-"),
# with a message whose lines straddle the first cut. Every report, in HTML and
# in ASCII, standard output and status must equal those of the whole log; its
# standard error too, once each "in line N" of the whole log is put in its
# file ("in line M of FILE").
#
# Window: the generated log moved across midnight (December 1 to 2) and across
# New Year (December 31 to January 1, the clock frozen in January so that the
# classic stamps' year is fixed), in classic and in RFC 3339 stamps; each run
# with --day, --since or --until must give the reports of the log an awk
# reference filtered beforehand.
#
#   several_inputs_twin.sh BINARY SOURCE_DIR
set -u
export TZ=Europe/Berlin
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
src=$(cd "$2" && pwd)
generator=$(dirname "$bin")/tools/quelm_gen_log
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passed=0
failed=0
now="2026-12-06 12:00:00"

html_conf="$src/examples/quelm_stat.conf"
sed 's/^OutputFormat = 1$/OutputFormat = 0/' "$html_conf" >ascii.conf
grep -q '^OutputFormat = 0$' ascii.conf || { echo "FAIL: no ASCII configuration"; exit 1; }

# run CONF NAME ARGS...: every report of CONF into NAME/, standard output,
# standard error and status into NAME.out/.err/.status, the clock at $now.
run() {
    run_conf=$1
    run_name=$2
    shift 2
    mkdir "$run_name"
    faketime -f "$now" "$bin" -c "$run_conf" -B "$run_name" "$@" >"$run_name.out" 2>"$run_name.err"
    echo $? >"$run_name.status"
}

# same_reports BASE OTHER [err]: OTHER's reports, standard output and status
# (and standard error with "err") equal BASE's; BASE wrote more than ten reports.
same_reports() {
    same=0
    parts="out status"
    [ "${3:-}" = err ] && parts="out err status"
    for part in $parts; do
        cmp -s "$1.$part" "$2.$part" ||
            { echo "FAIL $2: standard $part differs from $1's"; diff "$1.$part" "$2.$part" | head -5; same=1; }
    done
    diff -r "$1" "$2" >/dev/null || { echo "FAIL $2: reports differ from $1's"; diff -r "$1" "$2" | head -5; same=1; }
    [ "$(ls "$1" | wc -l)" -gt 10 ] || { echo "FAIL $1: too few reports"; same=1; }
    if [ "$same" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

# expect TEXT CONDITION...: counts a check of the script's own set-up.
expect() {
    what=$1
    shift
    if "$@"; then passed=$((passed + 1)); else echo "FAIL: $what"; failed=$((failed + 1)); fi
}

"$generator" 7 12000 3 >whole.log

# ---- Several files: the reports of their concatenation.

# A from= line at or after line $1 whose queue id has a to= line later.
straddling_from_line() {
    awk -v start="$1" '
        NR >= start && / from=</ && $6 ~ /:$/ && !($6 in from) { from[$6] = NR; next }
        / to=</ && ($6 in from) { print from[$6]; exit }' whole.log
}
cut1=$(straddling_from_line 4000)
cut2=$(straddling_from_line 8000)
expect "cut points found ($cut1, $cut2)" test -n "$cut1" -a -n "$cut2"
head -n "$cut1" whole.log | head -c -1 >part1.log
sed -n "$((cut1 + 1)),${cut2}p" whole.log | gzip -c >part2.log.gz
sed -n "$((cut2 + 1)),\$p" whole.log | gzip -1 -c >part3.log.gz
queue_id=$(sed -n "${cut1}p" whole.log | awk '{ print $6 }')
expect "a message straddles part1.log and part2.log.gz" \
    sh -c "tail -n 1 part1.log | grep -qF ' $queue_id from=' && gzip -dc part2.log.gz | grep -qF ' $queue_id to='"
expect "part1.log ends without a newline" test "$(tail -c 1 part1.log | wc -l)" -eq 0

# place_lines: standard input's "in line N!" messages with N put in its file.
place_lines() {
    awk -v cut1="$cut1" -v cut2="$cut2" '
        function place(n) {
            n += 0
            if (n <= cut1) return n " of part1.log"
            if (n <= cut2) return (n - cut1) " of part2.log.gz"
            return (n - cut2) " of standard input"
        }
        match($0, /in line [0-9]+!$/) { print substr($0, 1, RSTART - 1) "in line " place(substr($0, RSTART + 8, RLENGTH - 9)) "!"; next }
        { print }'
}

for format in html ascii; do
    conf=$html_conf
    [ "$format" = ascii ] && conf=ascii.conf
    run "$conf" "whole_$format" -v -f whole.log
    place_lines <"whole_$format.err" >"placed_$format.err"
    cp "whole_$format.out" "placed_$format.out"
    cp "whole_$format.status" "placed_$format.status"
    cp -r "whole_$format" "placed_$format"
    run "$conf" "parts_$format" -v -f part1.log part2.log.gz - <part3.log.gz
    same_reports "placed_$format" "parts_$format" err
    run "$conf" "operands_$format" -v part1.log part2.log.gz - <part3.log.gz
    same_reports "placed_$format" "operands_$format" err
done
for name in part1.log part2.log.gz "standard input"; do
    expect "a message names a line of $name" grep -q "in line [0-9]* of $name!" placed_html.err
done

# ---- The time window: the reports of the log filtered beforehand.

# shift FIRST SECOND: the generated log (December 1 from 00:00) moved 21 hours
# later, its lines of the first day dated FIRST and those after midnight SECOND.
shift_log() {
    awk -v first="$1" -v second="$2" '
        /^Dec  1 [0-9][0-9]:[0-9][0-9]:[0-9][0-9] / {
            hour = substr($0, 8, 2) + 21
            printf "%s %02d%s\n", (hour >= 24 ? second : first), hour % 24, substr($0, 10)
            next
        }
        { print }' whole.log
}

# rfc YEAR_OF_JANUARY: standard input with RFC 3339 stamps (offset +01:00, the
# forms rotating), December in the year before YEAR_OF_JANUARY.
rfc() {
    awk -v year="$(($1 - 1))" -v offset=+01:00 -v forms=1 -f "$src/tests/e2e/to_rfc3339.awk" |
        sed -E "s/^$(($1 - 1))-01-/$1-01-/"
}

# keep SINCE UNTIL RUN_YEAR RUN_MONTH: the lines of standard input whose
# stamp's wall-clock time (YYYYMMDDhhmmss) lies in [SINCE, UNTIL), an empty
# side open. Classic stamps get the run's year, December in another month the
# year before; RFC 3339 stamps carry theirs. Lines without a readable stamp stay.
keep() {
    awk -v since="$1" -v until="$2" -v run_year="$3" -v run_month="$4" '
        BEGIN { split("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec", names, " "); for (i = 1; i <= 12; i++) month[names[i]] = i }
        function in_window(key) { return (since == "" || key >= since) && (until == "" || key < until) }
        /^[A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9] / && (substr($0, 1, 3) in month) {
            m = month[substr($0, 1, 3)]
            year = (m == 12 && run_month != 12) ? run_year - 1 : run_year
            hms = substr($0, 8, 8); gsub(":", "", hms)
            if (in_window(sprintf("%04d%02d%02d%s", year, m, substr($0, 5, 2), hms))) print
            next
        }
        /^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]/ {
            key = substr($0, 1, 19); gsub(/[-T:]/, "", key)
            if (in_window(key)) print
            next
        }
        { print }'
}

# window NAME LOG SINCE UNTIL RUN_YEAR RUN_MONTH OPTIONS...: the run of LOG
# with OPTIONS equals the run of LOG filtered to [SINCE, UNTIL) beforehand.
window() {
    window_name=$1
    window_log=$2
    keep "$3" "$4" "$5" "$6" <"$window_log" >"$window_name.kept.log"
    shift 6
    kept=$(wc -l <"$window_name.kept.log")
    all=$(wc -l <"$window_log")
    expect "$window_name keeps some lines and drops others ($kept of $all)" \
        test "$kept" -gt 100 -a "$kept" -lt "$((all - 100))"
    run "$html_conf" "$window_name.filtered" -f "$window_name.kept.log"
    run "$html_conf" "$window_name.window" "$@" -f "$window_log"
    same_reports "$window_name.filtered" "$window_name.window"
}

shift_log "Dec  1" "Dec  2" >midnight.log
rfc 2027 <midnight.log >midnight_rfc.log
shift_log "Dec 31" "Jan  1" >new_year.log
rfc 2027 <new_year.log >new_year_rfc.log
expect "the RFC 3339 logs carry both years" \
    sh -c "grep -q '^2026-12-31T' new_year_rfc.log && grep -q '^2027-01-01T' new_year_rfc.log && grep -q '^2026-12-02T' midnight_rfc.log"

for form in classic rfc; do
    suffix=
    [ "$form" = rfc ] && suffix=_rfc
    now="2026-12-06 12:00:00"
    window "day_$form" "midnight$suffix.log" 20261202000000 20261203000000 2026 12 --day 2026-12-02
    window "around_midnight_$form" "midnight$suffix.log" 20261201233000 20261202003000 2026 12 \
        --since "2026-12-01 23:30" --until 2026-12-02T00:30:00+01:00
    window "until_$form" "midnight$suffix.log" "" 20261202000000 2026 12 --until 2026-12-02
    now="2027-01-01 12:00:00"
    window "yesterday_$form" "new_year$suffix.log" 20261231000000 20270101000000 2027 1 --day yesterday
    window "since_utc_$form" "new_year$suffix.log" 20261231235959 "" 2027 1 --since 2026-12-31T22:59:59Z
    window "until_fraction_$form" "new_year$suffix.log" "" 20270101010000 2027 1 \
        --until 2027-01-01T00:00:00.5Z
    window "today_$form" "new_year$suffix.log" 20270101000000 "" 2027 1 --since today
done

echo "several inputs twins: $passed passed, $failed failed"
[ "$failed" = 0 ]
