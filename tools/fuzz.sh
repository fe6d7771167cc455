#!/bin/sh
# Builds the libFuzzer targets (tools/setup.sh --fuzz) and runs each for a
# bounded time; fails when any target finds a crash, leak, timeout or
# markup fault. Inputs that found something are kept as
# build-fuzz/findings/<target>-crash-... (copy them to tests/hostile/regressions/).
#
#   sh tools/fuzz.sh [SECONDS_PER_TARGET [TARGET...]]     default: 120 s, all three
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-120}
[ $# -gt 0 ] && shift
targets=${*:-pipeline_fuzzer config_fuzzer ip_ranges_fuzzer}
sh tools/setup.sh --fuzz

root=$(pwd)
work=$root/build-fuzz
mkdir -p "$work/findings"

# Seed corpora, rebuilt each time from the sample files and the end-to-end cases.
seed() {
    dir=$work/seeds/$1
    rm -rf "$dir" && mkdir -p "$dir"
    shift
    for file in "$@"; do
        [ -f "$file" ] && cp "$file" "$dir/$(echo "${file#"$root"/}" | tr / _)"
    done
    return 0
}
seed pipeline_fuzzer "$root"/examples/sample.log "$root"/examples/sample_rfc3339.log "$root"/tests/e2e/cases/*/stdin "$root"/tests/e2e/cases/*/*.log "$root"/tests/e2e/logs/*.log \
    "$root"/tests/hostile/regressions/pipeline/*
# A compressed seed, so that the gzip reader is fuzzed as well.
head -n 40 "$root"/examples/sample.log | gzip -c >"$work/seeds/pipeline_fuzzer/sample_head.gz"
seed config_fuzzer "$root"/examples/quelm_stat.conf "$root"/tests/e2e/cases/*/*.conf \
    "$root"/tests/hostile/regressions/config/*
seed ip_ranges_fuzzer "$root"/examples/*.data "$root"/tests/e2e/cases/*/*.data \
    "$root"/tests/hostile/regressions/ip_ranges/*

failed=0
for target in $targets; do
    name=${target%_fuzzer}
    corpus=$work/corpus/$target
    mkdir -p "$corpus"
    echo "== $target: $seconds s"
    # -close_fd_mask=3: the program's own messages would drown the fuzzer's
    # (crash reports still come through). -rss_limit_mb keeps memory bounded
    # over many runs: the host table is emptied after every input.
    if ! "$work/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -max_len=8192 \
            -close_fd_mask=3 -print_final_stats=1 -dict="$root/fuzz/$name.dict" \
            -artifact_prefix="$work/findings/$target-" "$corpus" "$work/seeds/$target" \
            >"$work/$target.log" 2>&1; then
        echo "FAIL $target (log: $work/$target.log)"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|markup fault|artifact_prefix)' "$work/$target.log" | head -10
        failed=1
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$work/$target.log" | sed "s/^/$target /"
done
exit $failed
