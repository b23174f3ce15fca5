#!/usr/bin/env bash
# Column clicks on a million-row Hot Trends list as the window lives them (see list_sort_bench):
# what the window's thread spends and how long it stands still; goal: never over 100 ms. The
# sort itself beside coreutils sort, each a whole process, is table_sort.sh.
set -euo pipefail
build=${1:-build}
rows=${ROWS:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/trend_table_bench" generate "$work/dabatase.dat" "$rows"
"$build/bench/list_sort_bench" "$work/dabatase.dat"
