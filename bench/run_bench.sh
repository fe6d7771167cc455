#!/usr/bin/env bash
# run_bench.sh: times the whole quelm_stat program on generated sendmail logs
# of two shapes, today's default traffic and a spam-heavy site
# (`quelm_gen_log --shape=spam`), of 1,000,000 and 10,000,000 lines: without
# reports (input and statistics only), with every report in single-file HTML,
# in split HTML and in ASCII; next to peers over the same file in the same
# run: `cat` (the floor), `wc -l`, an lnav headless SQL count, mailgraph's
# one-pass counters (`mailgraph --cat`, writing its round-robin databases to
# an emptied directory) and an optional extra peer. Prints markdown tables (the shape of each log; wall and CPU
# seconds, lines per second, peak resident memory, wall time over `cat`; the
# scaling, memory and spam-over-default ratios) on standard output; progress
# goes to standard error.
#
#   bench/run_bench.sh [--quick] [--runs N] [--peer-runs N] [--commit REV] [QUELM_STAT]
#
#   --quick        only the 100,000 and 1,000,000 line logs
#   --runs N       runs per measurement, the fastest is kept (default 3)
#   --peer-runs N  runs per measurement of lnav, mailgraph and the extra peer
#                  (default: as --runs; mailgraph takes minutes on 10M lines)
#   --commit REV   build commit REV (exported with git archive) instead of the working tree
#   QUELM_STAT    the binary to time; without it a Release build is made
#
# Environment: SIZES (log sizes in lines, default "1000000 10000000"; e.g.
# SIZES=100000 for a smoke run), SHAPES (default "default spam"),
# QUELM_STAT (binary, as the argument), QUELM_GEN_LOG (log generator that
# knows --shape; default next to the binary, else built from this working
# tree), QUELM_BENCH_CACHE (generated logs and the Release build, default
# /tmp/quelm_bench_cache), QUELM_BENCH_BUILD (build directory, default
# $QUELM_BENCH_CACHE/build, or build-REV for --commit), QUELM_BENCH_SEED
# (generator seed, default 1), QUELM_BENCH_PEER and QUELM_BENCH_PEER_NAME (an
# extra peer: a shell command whose $1 is the log and whose files go to the
# emptied directory $QUELM_BENCH_OUT, and its name in the table).
# A peer that is not installed is skipped with a note.
set -eu
shopt -s inherit_errexit

usage() {
    sed -n '15,22p' "$0" | sed 's/^# \{0,1\}//'
}

src=$(cd "$(dirname "$0")/.." && pwd)
here=$src  # the generator always comes from this tree
cache=${QUELM_BENCH_CACHE:-/tmp/quelm_bench_cache}
build=${QUELM_BENCH_BUILD:-$cache/build}
seed=${QUELM_BENCH_SEED:-1}
bin=${QUELM_STAT:-}
gen=${QUELM_GEN_LOG:-}
gen_given=${QUELM_GEN_LOG:+1}
runs=3
peer_runs=
commit_wanted=
sizes="1000000 10000000"
shapes=${SHAPES:-default spam}
peer_cmd=${QUELM_BENCH_PEER:-}
peer_name=${QUELM_BENCH_PEER_NAME:-extra peer}

while [ $# -gt 0 ]; do
    case $1 in
    --quick) sizes="100000 1000000" ;;
    --runs) [ $# -ge 2 ] || { usage >&2; exit 2; }; runs=$2; shift ;;
    --runs=*) runs=${1#--runs=} ;;
    --peer-runs) [ $# -ge 2 ] || { usage >&2; exit 2; }; peer_runs=$2; shift ;;
    --peer-runs=*) peer_runs=${1#--peer-runs=} ;;
    --commit) [ $# -ge 2 ] || { usage >&2; exit 2; }; commit_wanted=$2; shift ;;
    --commit=*) commit_wanted=${1#--commit=} ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) bin=$1 ;;
    esac
    shift
done
sizes=${SIZES:-$sizes}
peer_runs=${peer_runs:-$runs}
for given in "$runs" "$peer_runs"; do
    case $given in
    '' | *[!0-9]* | 0) echo "run_bench.sh: --runs and --peer-runs need a positive number" >&2; exit 2 ;;
    esac
done
for lines in $sizes; do
    case $lines in
    '' | *[!0-9]* | 0) echo "run_bench.sh: SIZES needs positive numbers" >&2; exit 2 ;;
    esac
done
for shape in $shapes; do
    case $shape in
    default | spam) ;;
    *) echo "run_bench.sh: SHAPES knows default and spam" >&2; exit 2 ;;
    esac
done

say() { echo "run_bench.sh: $*" >&2; }
die() { say "$*"; exit 1; }

if [ ! -x /usr/bin/time ]; then
    die "/usr/bin/time is missing (Debian package 'time': apt-get install time)"
fi

mkdir -p "$cache"
cache=$(cd "$cache" && pwd)  # mailgraph changes directory: every log path is absolute
work=$(mktemp -d "${TMPDIR:-/tmp}/quelm_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/out

# The sources built and described: the working tree, or an export of one
# commit (the checkout is left as it is).
if [ -n "$commit_wanted" ]; then
    [ -z "$bin" ] || die "--commit and a given binary exclude each other"
    rev=$(git -C "$src" rev-parse --short "$commit_wanted^{commit}" 2>/dev/null) || die "no commit $commit_wanted"
    tree="commit $rev"
    export_dir=$cache/src-$rev
    if [ ! -f "$export_dir/CMakeLists.txt" ]; then
        rm -rf "$export_dir" "$export_dir.tmp.$$"
        mkdir -p "$export_dir.tmp.$$"
        (set -o pipefail; git -C "$src" archive --format=tar "$rev" | tar -x -C "$export_dir.tmp.$$") ||
            die "cannot export commit $rev"
        mv "$export_dir.tmp.$$" "$export_dir"
    fi
    src=$export_dir
    build=${QUELM_BENCH_BUILD:-$cache/build-$rev}
else
    rev=$(git -C "$src" rev-parse --short HEAD 2>/dev/null || echo unknown)
    changed=$(git -C "$src" --no-optional-locks status --porcelain --untracked-files=no 2>/dev/null |
        awk '{ printf "%s%s", n++ ? ", " : "", $NF }')
    tree="the working tree at $rev${changed:+, uncommitted changes in $changed}"
fi

# ---- The binaries ----------------------------------------------------------

# release_build SOURCE BUILD TARGET...
release_build() {
    local from=$1 into=$2
    shift 2
    say "Release build of $* in $into"
    if ! { cmake -S "$from" -B "$into" -DCMAKE_BUILD_TYPE=Release -DQUELM_TESTS=OFF &&
        cmake --build "$into" -j "$(nproc)" --target "$@"; } >"$work/build.log" 2>&1; then
        cat "$work/build.log" >&2
        die "the build failed"
    fi
}

built_here=0
if [ -z "$bin" ]; then
    if [ -z "$commit_wanted" ]; then
        release_build "$src" "$build" quelm_stat quelm_gen_log
        [ -n "$gen" ] || gen=$build/tools/quelm_gen_log
    else
        release_build "$src" "$build" quelm_stat
    fi
    bin=$build/quelm_stat
    built_here=1
fi
[ -x "$bin" ] || die "no program at $bin"
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")
if [ -z "$gen" ] && [ -z "$commit_wanted" ] && [ -x "$(dirname "$bin")/tools/quelm_gen_log" ]; then
    gen=$(dirname "$bin")/tools/quelm_gen_log
fi

# The generator is built only when a log has to be made and none that knows
# the shapes was found; it is the one of this working tree, so that every
# commit measured reads the same logs.
generator() {
    if [ -z "$gen" ] || ! "$gen" --shape=spam 1 0 >/dev/null 2>&1; then
        [ -z "$gen_given" ] || die "QUELM_GEN_LOG=$gen cannot write the shapes (--shape=spam)"
        release_build "$here" "$cache/build" quelm_gen_log
        gen=$cache/build/tools/quelm_gen_log
    fi
    [ -x "$gen" ] || die "no log generator at $gen"
    echo "$gen"
}

# ---- The logs --------------------------------------------------------------

# The generator's sources; a cached log made from other sources is made again.
generator_stamp() {
    cat "$here/tools/loggen/"*.h "$here/tools/loggen/"*.cpp 2>/dev/null | cksum
}

shape_args() {
    if [ "$1" = spam ]; then echo "--shape=spam"; fi
}

# Prints the path of the log of `seed` of shape $1 with $2 lines, generating
# it (and its shape figures, log.shape) first when the cache has none.
log_for() {
    local shape=$1 lines=$2 log stamp
    log=$cache/seed${seed}_${shape}_${lines}.log
    stamp=$(generator_stamp)
    if [ -f "$log" ] && [ -f "$log.shape" ] && [ -f "$log.stamp" ] && [ "$(cat "$log.stamp")" = "$stamp" ]; then
        echo "$log"
        return
    fi
    local g need_kb free_kb
    g=$(generator)
    need_kb=$((lines / 5 + 1024))  # about 190 bytes a line
    free_kb=$(df -Pk "$cache" | awk 'NR == 2 { print $4 }')
    [ "$free_kb" -gt "$need_kb" ] || die "not enough room in $cache for $lines lines (need ${need_kb} kB, have ${free_kb} kB)"
    say "generating $log"
    rm -f "$log" "$log.stamp" "$log.shape"
    # shellcheck disable=SC2046
    "$g" $(shape_args "$shape") "$seed" "$lines" >"$log.tmp.$$" || die "the log generator failed"
    mv "$log.tmp.$$" "$log"
    awk -f "$here/bench/log_shape.awk" "$log" >"$log.shape" || die "cannot count the shape of $log"
    echo "$stamp" >"$log.stamp"
    echo "$log"
}

# ---- The configurations ----------------------------------------------------

# examples/quelm_stat.conf has every report of the program on; only the
# format is set here (the file's values override -a).
for format in 0 1; do
    sed "s/^OutputFormat *=.*/OutputFormat = $format/" "$src/examples/quelm_stat.conf" >"$work/format$format.conf"
    grep -q "^OutputFormat = $format\$" "$work/format$format.conf" || die "examples/quelm_stat.conf has no OutputFormat line"
done
sed "s/^SplitHtmlOutput *=.*/SplitHtmlOutput = 1/" "$work/format1.conf" >"$work/split.conf"
grep -q "^SplitHtmlOutput = 1\$" "$work/split.conf" || die "examples/quelm_stat.conf has no SplitHtmlOutput line"

# ---- The peers -------------------------------------------------------------

# lnav reads the file into its SQL tables and counts the rows, headless;
# the extra peer is whatever QUELM_BENCH_PEER runs.
lnav_query=';SELECT count(*) FROM all_logs'
declare -a notes=()
peers="cat wc"
if command -v lnav >/dev/null 2>&1; then
    peers="$peers lnav"
else
    notes+=("lnav is not installed (Debian package \`lnav\`): skipped")
fi
if command -v mailgraph >/dev/null 2>&1; then
    peers="$peers mailgraph"
else
    notes+=("mailgraph is not installed (Debian package \`mailgraph\`): skipped")
fi
if [ -n "$peer_cmd" ]; then
    peer_tool=${peer_cmd%% *}
    if command -v "$peer_tool" >/dev/null 2>&1; then
        peers="$peers peer"
    else
        notes+=("$peer_name (\`$peer_tool\`) is not installed: skipped")
    fi
fi
for note in "${notes[@]}"; do say "$note"; done

# ---- Measuring -------------------------------------------------------------

modes="$peers none html split ascii"
declare -A mode_name=([cat]='`cat >/dev/null`' [wc]='`wc -l`' [lnav]="lnav SQL count"
    [mailgraph]='mailgraph `--cat`' [peer]="$peer_name"
    [none]='no report' [html]='every report, HTML' [split]='every report, split HTML' [ascii]='every report, ASCII')
declare -A wall cpu rss written failed said

now_ns() { date +%s%N; }

# measure KEY COMMAND...: runs the command $count times (default $runs) with standard input
# empty, standard error thrown away, standard output kept (its last line
# goes into the notes for the peers), an empty report directory $out and an
# empty home directory each time; keeps wall, CPU (user + system) and peak
# memory of the fastest run.
measure() {
    local key=$1 r start end status w c m o
    shift
    for r in $(seq "${count:-$runs}"); do
        rm -rf "$out" "${work:?}/home"
        mkdir "$out" "$work/home"
        status=0
        start=$(now_ns)
        HOME=$work/home QUELM_BENCH_OUT=$out /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/stdout" 2>/dev/null \
            </dev/null || status=$?
        end=$(now_ns)
        if [ "$status" -ne 0 ]; then
            failed[$key]="exit status $status"
            say "$key: exit status $status"
        fi
        w=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", (e - s) / 1e9 }')
        c=$(awk -F': ' '/User time \(seconds\)/ { u = $2 } /System time \(seconds\)/ { s = $2 }
                        END { printf "%.2f", u + s }' "$work/time.txt")
        m=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
        o=$(du -sk "$out" | awk '{ print $1 }')
        say "$key run $r: wall ${w} s, cpu ${c} s, peak ${m} kB"
        if [ -z "${wall[$key]:-}" ] || awk -v a="$w" -v b="${wall[$key]}" 'BEGIN { exit !(a < b) }'; then
            wall[$key]=$w
            cpu[$key]=$c
            rss[$key]=$m
            written[$key]=$o
        fi
    done
    said[$key]=$(tail -n 1 "$work/stdout" | tr -s ' \t' ' ' | cut -c1-80)
    rm -rf "$out" "${work:?}/home"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date '+%Y-%m-%d %H:%M:%S %Z')
declare -A log_bytes log_shape
for shape in $shapes; do
    for lines in $sizes; do
        log=$(log_for "$shape" "$lines")
        log_bytes[$shape:$lines]=$(wc -c <"$log")
        log_shape[$shape:$lines]=$(cat "$log.shape")
        cat "$log" >/dev/null  # into the page cache, as for every run after it
        say "measuring $shape, $lines lines ($log)"
        k=$shape:$lines
        measure "$k:cat" cat "$log"
        measure "$k:wc" wc -l "$log"
        case " $peers " in *" lnav "*) count=$peer_runs measure "$k:lnav" lnav -n -c "$lnav_query" "$log" ;; esac
        case " $peers " in *" mailgraph "*)
            count=$peer_runs measure "$k:mailgraph" sh -c 'exec mailgraph --cat --logfile "$1" --daemon-rrd="$QUELM_BENCH_OUT"' \
                mailgraph "$log" ;;
        esac
        case " $peers " in *" peer "*) count=$peer_runs measure "$k:peer" sh -c "$peer_cmd" peer "$log" ;; esac
        measure "$k:none" "$bin" -f "$log"
        measure "$k:html" "$bin" -c "$work/format1.conf" -w -f "$log" -B "$out"
        measure "$k:split" "$bin" -c "$work/split.conf" -w -f "$log" -B "$out"
        measure "$k:ascii" "$bin" -c "$work/format0.conf" -a -w -f "$log" -B "$out"
    done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# ---- The tables ------------------------------------------------------------

label() {
    case $1 in
    100000) echo 100k ;;
    1000000) echo 1M ;;
    10000000) echo 10M ;;
    *) echo "$1" ;;
    esac
}

[ "$built_here" = 1 ] && origin="Release build of $tree" || origin="given binary; $tree"

echo "## quelm_stat end-to-end benchmark"
echo
echo "- Date: $started"
echo "- Program: \`$bin\` ($origin)"
echo "- Machine: $(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)," \
    "$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) memory"
echo "- Load average (1, 5, 15 min): $load_before before, $load_after after"
echo "- Logs: \`quelm_gen_log $seed LINES\` (default) and \`quelm_gen_log --shape=spam $seed LINES\` (spam)," \
    "3 hosts, in $cache; fastest of $runs runs each; reports: every report of examples/quelm_stat.conf" \
    "with \`-w\` (split: \`SplitHtmlOutput = 1\`)"
echo "- Peers (when installed): \`cat\`, \`wc -l\`, \`lnav -n -c '$lnav_query'\`," \
    "\`mailgraph --cat --logfile LOG --daemon-rrd=DIR\`${peer_cmd:+, $peer_name: \`$peer_cmd\`};" \
    "fastest of $peer_runs runs each"
for note in "${notes[@]}"; do echo "- $note"; done
for key in "${!said[@]}"; do
    case $key in
    *:lnav | *:peer | *:mailgraph)
        [ -n "${said[$key]}" ] || continue
        k=${key%:*}
        echo "- Last line of ${mode_name[${key##*:}]} on the ${k%%:*} $(label "${k#*:}") log: \`${said[$key]}\`"
        ;;
    esac
done | sort
echo
echo "Shape of the logs (distinct from=<> senders, to=<> recipients and relay [addresses];"
echo "lines with ruleset and milter rejects):"
echo
echo "| Shape | Log | MiB | Senders | Recipients | Relays | Ruleset rejects | Milter rejects |"
echo "|---|---|---:|---:|---:|---:|---:|---:|"
for shape in $shapes; do
    for lines in $sizes; do
        echo "${log_shape[$shape:$lines]}" | awk -v s="$shape" -v l="$(label "$lines")" -v b="${log_bytes[$shape:$lines]}" '{
            printf "| %s | %s | %.0f | %d | %d | %d | %d (%.1f%%) | %d (%.1f%%) |\n", s, l, b / 1048576,
                $4, $6, $8, $10, 100 * $10 / $2, $12, 100 * $12 / $2
        }'
    done
done
echo
echo "| Shape | Log | Mode | Wall s | CPU s | Lines/s | Peak RSS MiB | Wall / cat | Output MiB |"
echo "|---|---|---|---:|---:|---:|---:|---:|---:|"
for shape in $shapes; do
    for lines in $sizes; do
        k=$shape:$lines
        size="$(label "$lines") ($(awk -v b="${log_bytes[$k]}" 'BEGIN { printf "%.0f MiB", b / 1048576 }'))"
        for mode in $modes; do
            key=$k:$mode
            awk -v shape="$shape" -v size="$size" -v mode="${mode_name[$mode]}${failed[$key]:+ (${failed[$key]})}" \
                -v n="$lines" -v w="${wall[$key]}" -v c="${cpu[$key]}" -v m="${rss[$key]}" -v f="${wall[$k:cat]}" \
                -v o="${written[$key]}" '
                function grouped(x,   s, r) {
                    s = sprintf("%.0f", x); r = ""
                    while (length(s) > 3) { r = "," substr(s, length(s) - 2) r; s = substr(s, 1, length(s) - 3) }
                    return s r
                }
                BEGIN {
                    printf "| %s | %s | %s | %.3f | %.2f | %s | %.1f | %s | %s |\n", shape, size, mode, w, c,
                        (w > 0 ? grouped(n / w) : "-"), m / 1024, (f > 0 ? sprintf("%.1f", w / f) : "-"),
                        (o > 4 ? sprintf("%.1f", o / 1024) : "-")
                }'
        done
    done
done

# ratio A B [BIG]: A / B with two decimals, "-" when B is 0; with BIG
# 10000000 it says whether the ratio keeps within 11.
ratio() {
    awk -v a="$1" -v b="$2" -v big="${3:-0}" 'BEGIN {
        if (b <= 0) { print "-"; exit }
        r = a / b
        printf "%.2f%s", r, (big == 10000000 ? (r <= 11 ? " (ok)" : " (over 11)") : "")
    }'
}

set -- $sizes
if [ $# -ge 2 ]; then
    echo
    echo "Time of the larger log over the smaller, wall and CPU (the target for 10M / 1M is at most 11;"
    echo "on a loaded machine the CPU ratio is the steadier one):"
    echo
    header="| Shape | Mode |"
    rule="|---|---|"
    pairs=""
    while [ $# -ge 2 ]; do
        header="$header $(label "$2") / $(label "$1") wall | $(label "$2") / $(label "$1") CPU |"
        rule="$rule---:|---:|"
        pairs="$pairs $1:$2"
        shift
    done
    echo "$header"
    echo "$rule"
    for shape in $shapes; do
        for mode in $modes; do
            row="| $shape | ${mode_name[$mode]} |"
            for pair in $pairs; do
                small=$shape:${pair%:*}:$mode
                large=$shape:${pair#*:}:$mode
                row="$row $(ratio "${wall[$large]}" "${wall[$small]}" "${pair#*:}") |"
                row="$row $(ratio "${cpu[$large]}" "${cpu[$small]}" "${pair#*:}") |"
            done
            echo "$row"
        done
    done
fi

echo
echo "Side by side: the program's wall time over each peer's on the same file (how many times"
echo "the peer's time the program takes; below 1 the program is faster):"
echo
header="| Shape | Log | Mode |"
rule="|---|---|---|"
for peer in $peers; do
    [ "$peer" = cat ] && continue
    header="$header ${mode_name[$peer]} s | over ${mode_name[$peer]} |"
    rule="$rule---:|---:|"
done
echo "$header"
echo "$rule"
for shape in $shapes; do
    for lines in $sizes; do
        k=$shape:$lines
        for mode in none html split ascii; do
            row="| $shape | $(label "$lines") | ${mode_name[$mode]} |"
            for peer in $peers; do
                [ "$peer" = cat ] && continue
                row="$row ${wall[$k:$peer]}${failed[$k:$peer]:+ (${failed[$k:$peer]})} | $(ratio "${wall[$k:$mode]}" "${wall[$k:$peer]}") |"
            done
            echo "$row"
        done
    done
done

set -- $shapes
if [ $# -ge 2 ]; then
    echo
    echo "Time of the spam-heavy log over the default one of the same size (wall, CPU):"
    echo
    header="| Mode |"
    rule="|---|"
    for lines in $sizes; do
        header="$header $(label "$lines") wall | $(label "$lines") CPU |"
        rule="$rule---:|---:|"
    done
    echo "$header"
    echo "$rule"
    for mode in $modes; do
        row="| ${mode_name[$mode]} |"
        for lines in $sizes; do
            row="$row $(ratio "${wall[spam:$lines:$mode]}" "${wall[default:$lines:$mode]}") |"
            row="$row $(ratio "${cpu[spam:$lines:$mode]}" "${cpu[default:$lines:$mode]}") |"
        done
        echo "$row"
    done
fi

echo
echo "Peak memory over the log file size (targets: at most 2.5 without reports, at most 4 with every"
echo "report):"
echo
echo "| Shape | Log | Log MiB | Mode | Peak RSS MiB | RSS / log |"
echo "|---|---|---:|---|---:|---:|"
for shape in $shapes; do
    for lines in $sizes; do
        for mode in none html split ascii; do
            limit=4
            [ "$mode" = none ] && limit=2.5
            awk -v s="$shape" -v l="$(label "$lines")" -v b="${log_bytes[$shape:$lines]}" -v mode="${mode_name[$mode]}" \
                -v m="${rss[$shape:$lines:$mode]}" -v limit="$limit" 'BEGIN {
                r = m * 1024 / b
                printf "| %s | %s | %.1f | %s | %.1f | %.2f%s |\n", s, l, b / 1048576, mode, m / 1024, r,
                    (r <= limit ? " (ok)" : " (over " limit ")")
            }'
        done
    done
done

echo
echo "The targets (fastest run of each): input and build without reports at least 2,000,000 lines"
echo "a second; every report in single-file and in split HTML on 10M lines in at most 30 s:"
echo
echo "| Shape | Log | No report, lines/s | Every report HTML, s | Every report split HTML, s |"
echo "|---|---|---:|---:|---:|"
for shape in $shapes; do
    for lines in $sizes; do
        k=$shape:$lines
        awk -v s="$shape" -v l="$(label "$lines")" -v n="$lines" -v none="${wall[$k:none]}" -v html="${wall[$k:html]}" \
            -v sp="${wall[$k:split]}" 'BEGIN {
            rate = none > 0 ? n / none : 0
            big = n >= 10000000
            printf "| %s | %s | %.0f%s | %.1f%s | %.1f%s |\n", s, l, rate, (rate >= 2000000 ? " (ok)" : " (under 2M)"),
                html, (big ? (html <= 30 ? " (ok)" : " (over 30)") : ""), sp, (big ? (sp <= 30 ? " (ok)" : " (over 30)") : "")
        }'
    done
done
