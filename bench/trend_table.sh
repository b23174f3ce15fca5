#!/usr/bin/env bash
# Hot Trends table: load and save of a million rows beside Python's csv module reading the same
# file, and one scrape's update of such a table.
set -euo pipefail
build=${1:-build}
rows=${ROWS:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/trend_table_bench" generate "$work/dabatase.dat" "$rows"
"$build/bench/trend_table_bench" load-save "$work/dabatase.dat"
"$build/bench/trend_table_bench" scrape "$work/dabatase.dat"
python3 - "$work/dabatase.dat" <<'PY'
import csv, sys, time
start = time.perf_counter()
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    rows = list(csv.reader(f, delimiter="|"))
print(f"python3 csv read into a list: {time.perf_counter() - start:.3f} s ({len(rows)} rows)")
PY
