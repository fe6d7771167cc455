# Sourced by the end-to-end scripts that compare whole runs. Needs $bin (the
# binary), $src (the source tree) and $now (the frozen clock); runs in the
# current folder.

# faketime preloads itself ahead of the sanitizer runtime of a sanitizer build.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

# run_reports NAME ARGS...: every report of the sample configuration into
# NAME/, standard output, standard error and status into NAME.out/.err/.status.
# Standard input is the caller's.
run_reports() {
    name=$1
    shift
    mkdir "$name"
    faketime -f "$now" "$bin" -c "$src/examples/quelm_stat.conf" -B "$name" "$@" >"$name.out" 2>"$name.err"
    echo $? >"$name.status"
}

# same_run BASE OTHER: true when OTHER's run equals BASE's in every part and
# BASE wrote more than ten reports; otherwise says what differs.
same_run() {
    same=0
    for part in out err status; do
        cmp -s "$1.$part" "$2.$part" ||
            { echo "FAIL $2: standard $part differs from $1's"; diff "$1.$part" "$2.$part" | head -5; same=1; }
    done
    diff -r "$1" "$2" >/dev/null || { echo "FAIL $2: reports differ from $1's"; diff -r "$1" "$2" | head -5; same=1; }
    [ "$(ls "$1" | wc -l)" -gt 10 ] || { echo "FAIL $1: too few reports"; same=1; }
    return "$same"
}
