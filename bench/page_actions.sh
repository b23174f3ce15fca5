#!/usr/bin/env bash
# The Hot Trends page's buttons on a million-row table as the window lives them (see
# page_actions_bench): Select All, Delete Selected, Export Results; goal: no stand-still over 100 ms.
set -euo pipefail
build=${1:-build}
rows=${ROWS:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/trend_table_bench" generate "$work/dabatase.dat" "$rows"
"$build/bench/page_actions_bench" "$work/dabatase.dat"
