#!/usr/bin/env bash
# Sort of a million-row Hot Trends table by each column, beside coreutils sort on the same file
# (goal: keyword column no slower than `sort -f -t'|' -k1,1`, count column faster than
# `sort -t'|' -k3,3n`).
set -euo pipefail
build=${1:-build}
rows=${ROWS:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/trend_table_bench" generate "$work/dabatase.dat" "$rows"
"$build/bench/list_sort_bench" "$work/dabatase.dat"

TIMEFORMAT=%3R
coreutils() {
    local label=$1
    shift
    local seconds
    seconds=$( { time "$@" "$work/dabatase.dat" >/dev/null; } 2>&1 )
    echo "coreutils $label (LC_ALL=${LC_ALL:-${LANG:-unset}}): $seconds s"
}
coreutils "sort -f -t'|' -k1,1 " sort -f -t'|' -k1,1
coreutils "sort -t'|' -k3,3n   " sort -t'|' -k3,3n
if locale -a 2>/dev/null | grep -qi '^en_US\.utf-\?8$'; then
    LC_ALL=en_US.UTF-8 coreutils "sort -f -t'|' -k1,1 " sort -f -t'|' -k1,1
fi
