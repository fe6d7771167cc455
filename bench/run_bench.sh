#!/usr/bin/env bash
# run_bench.sh: times the whole quelm_stat program on generated sendmail logs
# of 100,000, 1,000,000 and 10,000,000 lines: without reports, with every
# report in ASCII and with every report in HTML, next to `cat` and `wc -l`
# over the same file as the floor. Prints a markdown table (wall and CPU
# seconds, lines per second, peak resident memory, wall time over `cat`)
# and the scaling and memory ratios on standard output; progress goes to
# standard error.
#
#   bench/run_bench.sh [--quick] [--runs N] [--commit REV] [QUELM_STAT]
#
#   --quick       only the 100,000 and 1,000,000 line logs
#   --runs N      runs per measurement, the fastest is kept (default 3)
#   --commit REV  build commit REV (exported with git archive) instead of the working tree
#   QUELM_STAT    the binary to time; without it a Release build is made
#
# Environment: QUELM_STAT (binary, as the argument), QUELM_GEN_LOG (log
# generator; default next to the binary, else built), QUELM_BENCH_CACHE
# (generated logs and the Release build, default /tmp/quelm_bench_cache),
# QUELM_BENCH_BUILD (build directory, default $QUELM_BENCH_CACHE/build, or
# build-REV for --commit),
# QUELM_BENCH_SEED (generator seed, default 1).
set -eu
shopt -s inherit_errexit

usage() {
    sed -n '10,16p' "$0" | sed 's/^# \{0,1\}//'
}

src=$(cd "$(dirname "$0")/.." && pwd)
cache=${QUELM_BENCH_CACHE:-/tmp/quelm_bench_cache}
build=${QUELM_BENCH_BUILD:-$cache/build}
seed=${QUELM_BENCH_SEED:-1}
bin=${QUELM_STAT:-}
gen=${QUELM_GEN_LOG:-}
runs=3
commit_wanted=
sizes="100000 1000000 10000000"

while [ $# -gt 0 ]; do
    case $1 in
    --quick) sizes="100000 1000000" ;;
    --runs) [ $# -ge 2 ] || { usage >&2; exit 2; }; runs=$2; shift ;;
    --runs=*) runs=${1#--runs=} ;;
    --commit) [ $# -ge 2 ] || { usage >&2; exit 2; }; commit_wanted=$2; shift ;;
    --commit=*) commit_wanted=${1#--commit=} ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) bin=$1 ;;
    esac
    shift
done
case $runs in
'' | *[!0-9]* | 0) echo "run_bench.sh: --runs needs a positive number" >&2; exit 2 ;;
esac

say() { echo "run_bench.sh: $*" >&2; }
die() { say "$*"; exit 1; }

if [ ! -x /usr/bin/time ]; then
    die "/usr/bin/time is missing (Debian package 'time': apt-get install time)"
fi

mkdir -p "$cache"
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

release_build() {
    say "Release build of $* in $build"
    if ! { cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUELM_TESTS=OFF &&
        cmake --build "$build" -j "$(nproc)" --target "$@"; } >"$work/build.log" 2>&1; then
        cat "$work/build.log" >&2
        die "the build failed"
    fi
}

built_here=0
if [ -z "$bin" ]; then
    release_build quelm_stat quelm_gen_log
    bin=$build/quelm_stat
    [ -n "$gen" ] || gen=$build/tools/quelm_gen_log
    built_here=1
fi
[ -x "$bin" ] || die "no program at $bin"
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")
if [ -z "$gen" ] && [ -x "$(dirname "$bin")/tools/quelm_gen_log" ]; then
    gen=$(dirname "$bin")/tools/quelm_gen_log
fi

# The generator is built only when a log has to be made and none was found.
generator() {
    if [ -z "$gen" ]; then
        release_build quelm_gen_log
        gen=$build/tools/quelm_gen_log
    fi
    [ -x "$gen" ] || die "no log generator at $gen"
    echo "$gen"
}

# ---- The logs --------------------------------------------------------------

# The generator's sources; a cached log made from other sources is made again.
generator_stamp() {
    cat "$src/tools/loggen/"*.h "$src/tools/loggen/"*.cpp 2>/dev/null | cksum
}

# Prints the path of the log of `seed` with $1 lines, generating it first
# when the cache has none.
log_for() {
    local lines=$1 log stamp
    log=$cache/seed${seed}_${lines}.log
    stamp=$(generator_stamp)
    if [ -f "$log" ] && [ -f "$log.stamp" ] && [ "$(cat "$log.stamp")" = "$stamp" ]; then
        echo "$log"
        return
    fi
    local g need_kb free_kb
    g=$(generator)
    need_kb=$((lines / 5 + 1024))  # about 190 bytes a line
    free_kb=$(df -Pk "$cache" | awk 'NR == 2 { print $4 }')
    [ "$free_kb" -gt "$need_kb" ] || die "not enough room in $cache for $lines lines (need ${need_kb} kB, have ${free_kb} kB)"
    say "generating $log"
    rm -f "$log" "$log.stamp"
    "$g" "$seed" "$lines" >"$log.tmp.$$" || die "the log generator failed"
    mv "$log.tmp.$$" "$log"
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

# ---- Measuring -------------------------------------------------------------

modes="cat wc none ascii html"
declare -A mode_name=([cat]='`cat >/dev/null`' [wc]='`wc -l`' [none]='no report'
    [ascii]='every report, ASCII' [html]='every report, HTML')
declare -A wall cpu rss written failed

now_ns() { date +%s%N; }

# measure KEY COMMAND...: runs the command $runs times with standard output
# and standard error thrown away and an empty report directory each time;
# keeps wall, CPU (user + system) and peak memory of the fastest run.
measure() {
    local key=$1 r start end status w c m o
    shift
    for r in $(seq "$runs"); do
        rm -rf "$out"
        mkdir "$out"
        status=0
        start=$(now_ns)
        /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>&1 </dev/null || status=$?
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
    rm -rf "$out"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date '+%Y-%m-%d %H:%M:%S %Z')
declare -A log_bytes
for lines in $sizes; do
    log=$(log_for "$lines")
    log_bytes[$lines]=$(wc -c <"$log")
    cat "$log" >/dev/null  # into the page cache, as for every run after it
    say "measuring $lines lines ($log)"
    measure "$lines:cat" cat "$log"
    measure "$lines:wc" wc -l "$log"
    measure "$lines:none" "$bin" -f "$log"
    measure "$lines:ascii" "$bin" -c "$work/format0.conf" -a -w -f "$log" -B "$out"
    measure "$lines:html" "$bin" -c "$work/format1.conf" -w -f "$log" -B "$out"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# ---- The table -------------------------------------------------------------

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
echo "- Logs: \`quelm_gen_log $seed LINES\` (3 hosts) in $cache; fastest of $runs runs each;" \
    "reports: every report of examples/quelm_stat.conf with \`-w\`"
echo
echo "| Log | Mode | Wall s | CPU s | Lines/s | Peak RSS MiB | Wall / cat | Output MiB |"
echo "|---|---|---:|---:|---:|---:|---:|---:|"
for lines in $sizes; do
    size="$(label "$lines") ($(awk -v b="${log_bytes[$lines]}" 'BEGIN { printf "%.0f MiB", b / 1048576 }'))"
    for mode in $modes; do
        key=$lines:$mode
        awk -v size="$size" -v mode="${mode_name[$mode]}${failed[$key]:+ (${failed[$key]})}" -v n="$lines" \
            -v w="${wall[$key]}" -v c="${cpu[$key]}" -v m="${rss[$key]}" -v f="${wall[$lines:cat]}" \
            -v o="${written[$key]}" '
            function grouped(x,   s, r) {
                s = sprintf("%.0f", x); r = ""
                while (length(s) > 3) { r = "," substr(s, length(s) - 2) r; s = substr(s, 1, length(s) - 3) }
                return s r
            }
            BEGIN {
                printf "| %s | %s | %.3f | %.2f | %s | %.1f | %s | %s |\n", size, mode, w, c,
                    (w > 0 ? grouped(n / w) : "-"), m / 1024, (f > 0 ? sprintf("%.1f", w / f) : "-"),
                    (o > 4 ? sprintf("%.1f", o / 1024) : "-")
            }'
    done
done

echo
echo "Time of the larger log over the smaller, wall and CPU (the target for 10M / 1M is at most 11;"
echo "on a loaded machine the CPU ratio is the steadier one):"
echo
set -- $sizes
header="| Mode |"
rule="|---|"
pairs=""
while [ $# -ge 2 ]; do
    header="$header $(label "$2") / $(label "$1") wall | $(label "$2") / $(label "$1") CPU |"
    rule="$rule---:|---:|"
    pairs="$pairs $1:$2"
    shift
done
echo "$header"
echo "$rule"
for mode in $modes; do
    row="| ${mode_name[$mode]} |"
    for pair in $pairs; do
        small=${pair%:*}
        large=${pair#*:}
        for kind in wall cpu; do
            [ $kind = wall ] && a=${wall[$large:$mode]} b=${wall[$small:$mode]} ||
                a=${cpu[$large:$mode]} b=${cpu[$small:$mode]}
            row="$row $(awk -v a="$a" -v b="$b" -v big="$large" '
                BEGIN {
                    if (b <= 0) { print "-"; exit }
                    r = a / b
                    printf "%.2f%s", r, (big == 10000000 ? (r <= 11 ? " (ok)" : " (over 11)") : "")
                }') |"
        done
    done
    echo "$row"
done

echo
echo "Peak memory of the run without reports over the log file size (target at most 3):"
echo
echo "| Log | Log MiB | Peak RSS MiB | RSS / log |"
echo "|---|---:|---:|---:|"
for lines in $sizes; do
    awk -v l="$(label "$lines")" -v b="${log_bytes[$lines]}" -v m="${rss[$lines:none]}" 'BEGIN {
        r = m * 1024 / b
        printf "| %s | %.1f | %.1f | %.2f%s |\n", l, b / 1048576, m / 1024, r, (r <= 3 ? " (ok)" : " (over 3)")
    }'
done
