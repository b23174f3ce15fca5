#!/usr/bin/env bash
# A million-row Hot Trends table sorted from its file to the sorted rows, each as a whole process:
# the program's sort (table_sort_bench) beside coreutils sort on the same file, run in turns.
# Goals: by keyword no slower than `LC_ALL=C sort -f -t'|' -k1,1`; by count at least 3 times as
# fast as `sort -t'|' -k3,3n`. Prints the min and median of RUNS runs (5 by default) of each.
set -euo pipefail
build=${1:-build}
rows=${ROWS:-1000000}
runs=${RUNS:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/trend_table_bench" generate "$work/dabatase.dat" "$rows"
ours=$build/bench/table_sort_bench

# Seconds of one run of a command, its output to $work/$1.
seconds() {
    local out=$1
    shift
    local TIMEFORMAT=%3R
    { time "$@" >"$work/$out"; } 2>&1
}
# "min S s, median S s" of the numbers on stdin.
summary() {
    sort -n | awk '{ v[NR] = $1 } END {
        median = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "min %.3f s, median %.3f s", v[1], median }'
}
median() {
    summary | sed 's/.*median \([0-9.]*\) s/\1/'
}

# compare COLUMN GOAL LABEL REFERENCE...: our sort by COLUMN beside REFERENCE, whose median must be
# at least GOAL times ours.
compare() {
    local column=$1 goal=$2 label=$3
    shift 3
    local ourTimes=() theirTimes=()
    for ((run = 0; run < runs; run++)); do
        ourTimes+=("$(seconds ours.out "$ours" "$work/dabatase.dat" "$column")")
        theirTimes+=("$(seconds theirs.out "$@" "$work/dabatase.dat")")
    done
    # The same rows come out of both.
    if ! cmp -s <(LC_ALL=C sort "$work/ours.out") <(LC_ALL=C sort "$work/theirs.out"); then
        echo "by $column: the sorted rows differ from the file's rows" >&2
        return 1
    fi
    local ourMedian theirMedian
    ourMedian=$(printf '%s\n' "${ourTimes[@]}" | median)
    theirMedian=$(printf '%s\n' "${theirTimes[@]}" | median)
    echo "by $column, $rows rows, $runs runs each:"
    echo "  table_sort_bench $column    $(printf '%s\n' "${ourTimes[@]}" | summary)"
    echo "  $label  $(printf '%s\n' "${theirTimes[@]}" | summary)"
    awk -v ours="$ourMedian" -v theirs="$theirMedian" -v goal="$goal" 'BEGIN {
        ratio = theirs / ours
        verdict = (ratio >= goal) ? "met" : "MISSED"
        printf "  %.2f times as fast (medians); goal at least %s: %s\n", ratio, goal, verdict }'
}

echo "coreutils sort runs with LC_ALL=${LC_ALL:-} LANG=${LANG:-} unless the command sets it"
compare keyword 1 "LC_ALL=C sort -f -t'|' -k1,1" env LC_ALL=C sort -f -t'|' -k1,1
compare count 3 "sort -t'|' -k3,3n          " sort -t'|' -k3,3n
# Our count column is sorted numerically, as coreutils sees numbers.
LC_ALL=C sort -c -s -t'|' -k3,3n "$work/ours.out"
