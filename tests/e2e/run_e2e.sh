#!/bin/sh
# Runs the built binary on each case folder under cases/ and compares its
# standard output, standard error and exit status byte for byte with the
# expected files. Time stamps, the build date and the revision are masked.
#
#   run_e2e.sh BINARY CASES_PARENT            compare
#   run_e2e.sh BINARY CASES_PARENT --update   rewrite the expected files (review the diff!)
#
# A case folder holds: cmd (the arguments, shell-quoted, on one line),
# optionally stdin (fed to the program) or stdin_log (the name of a log in
# logs/ to feed instead; with neither, /dev/null is fed), optionally now (a
# date such as "2026-12-06 12:00:00": the clock is frozen there with
# faketime), and the expected files stdout, stderr and status, plus
# expected/<file> for each report file the run must write into the case's
# out/ folder (which is emptied first). The program runs inside the case
# folder with TZ=UTC. The one-line file about says what the case pins; it is
# for the reader only, never compared nor rewritten.
#
# logs/ holds the input logs that several cases read: by stdin_log, by
# "-f ../../logs/NAME.log" in cmd or from a configuration file in the case.
# A log that one case alone reads stays in that case's folder. null is a
# link to /dev/null for the reports a case turns on but does not check:
# "-B out -E ../../../null" reaches it from out/, wherever the tree sits.
set -u
export TZ=UTC
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
root=$(cd "$2" && pwd)
update=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# Masks what changes from run to run: the binary's path, the build date and
# revision, and (for a case without a frozen clock) every time stamp.
mask() {
    if [ "$2" = frozen ]; then
        time_rule='s/^$//'
    else
        time_rule='s/[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}/<TIME>/g'
    fi
    sed -E -e "s|^$bin\$|<BINARY>|" -e "$time_rule" \
           -e 's/^Built:   [A-Z][a-z]{2} [ 0-9]{2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}$/Built:   <DATE> <TIME>/' \
           -e 's/^Code revision:  .*$/Code revision:  <REVISION>/' "$1"
}

for case_dir in "$root"/cases/*/; do
    name=$(basename "$case_dir")
    if [ -f "$case_dir/skip_if_exists" ] && [ -e "$(cat "$case_dir/skip_if_exists")" ]; then
        echo "skip $name: $(cat "$case_dir/skip_if_exists") exists on this machine"
        continue
    fi
    input=/dev/null
    [ -f "$case_dir/stdin" ] && input="$case_dir/stdin"
    [ -f "$case_dir/stdin_log" ] && input="$root/logs/$(cat "$case_dir/stdin_log")"
    if [ ! -r "$input" ]; then
        echo "FAIL $name: cannot read $input"
        failed=1
        continue
    fi
    rm -rf "$case_dir/out"
    [ -d "$case_dir/expected" ] && mkdir -p "$case_dir/out"
    (
        cd "$case_dir" || exit 99
        eval "set -- $(cat cmd)"
        if [ -f now ]; then
            exec faketime -f "$(cat now)" "$bin" "$@" <"$input" >"$work/out" 2>"$work/err"
        fi
        exec "$bin" "$@" <"$input" >"$work/out" 2>"$work/err"
    )
    echo $? >"$work/status"
    clock=running
    [ -f "$case_dir/now" ] && clock=frozen
    mask "$work/out" $clock >"$work/stdout"
    mask "$work/err" $clock >"$work/stderr"
    case_failed=0
    for what in stdout stderr status; do
        if [ "$update" = "--update" ]; then
            cp "$work/$what" "$case_dir/$what"
        elif ! cmp -s "$work/$what" "$case_dir/$what"; then
            echo "FAIL $name: $what differs"
            diff "$case_dir/$what" "$work/$what" | head -20
            case_failed=1
            failed=1
        fi
    done
    if [ -d "$case_dir/expected" ]; then
        if [ "$update" = "--update" ]; then
            rm -rf "$case_dir/expected" && cp -r "$case_dir/out" "$case_dir/expected"
        elif ! diff -r "$case_dir/expected" "$case_dir/out" >"$work/diff"; then
            echo "FAIL $name: report files differ"
            head -40 "$work/diff"
            case_failed=1
            failed=1
        fi
        rm -rf "$case_dir/out"
    fi
    [ "$case_failed" = 0 ] && [ "$update" != "--update" ] && echo "ok   $name"
done
exit $failed
