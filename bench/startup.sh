#!/usr/bin/env bash
# Start-up and saves at scale: how soon the program's window answers and its tables are in with a
# Hot Trends table of 1,000,000 and of 5,000,000 rows (beside a 100,000-row Suggest table), and how
# long a save of the 1,000,000-row table holds the user-interface thread.
#   bench/startup.sh [BUILD_DIR]      RUNS (default 5), ROWS ("1000000 5000000"), SUGGEST_ROWS,
#                                     PROGRAM (another build's quillory) change what is measured
set -euo pipefail
build=${1:-build}
runs=${RUNS:-5}
program=${PROGRAM:-$build/quillory}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

first=""
for rows in ${ROWS:-1000000 5000000}; do
    home="$work/home-$rows"
    mkdir -p "$home"
    "$build/bench/trend_table_bench" generate "$home/dabatase.dat" "$rows"
    "$build/bench/startup_bench" suggest "$home/dbsuggest.dat" "${SUGGEST_ROWS:-100000}"
    "$build/bench/startup_bench" window "$program" "$home" "$runs"
    first=${first:-$home}
done
"$build/bench/startup_bench" save "$first/dabatase.dat" "$runs"
