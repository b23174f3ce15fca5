#!/usr/bin/env bash
# Hot Trends table: load and save of a million rows beside Python's csv module reading the same
# file (both in the process, from the file to rows in memory), and one scrape's update of such a
# table. RUNS (default 3) runs of each; the load is reported as min and median of its CPU time.
set -euo pipefail
build=${1:-build}
rows=${ROWS:-1000000}
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/trend_table_bench" generate "$work/dabatase.dat" "$rows"
for run in $(seq "$runs"); do
    "$build/bench/trend_table_bench" load-save "$work/dabatase.dat" | tee -a "$work/ours"
    python3 - "$work/dabatase.dat" <<'PY' | tee -a "$work/python"
import csv, sys, time
start = time.process_time()
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    rows = list(csv.reader(f, delimiter="|"))
print(f"python3 csv read into a list: {time.process_time() - start:.3f} s CPU ({len(rows)} rows)")
PY
done
"$build/bench/trend_table_bench" scrape "$work/dabatase.dat"
python3 - "$work/ours" "$work/python" <<'PY'
import re, statistics, sys
ours = [float(m) for m in re.findall(r"load into the table .*?: ([0-9.]+) s CPU", open(sys.argv[1]).read())]
python = [float(m) for m in re.findall(r"python3 csv read into a list: ([0-9.]+) s", open(sys.argv[2]).read())]
print(f"load CPU, min / median of {len(ours)}: ours {min(ours):.3f} / {statistics.median(ours):.3f} s, "
      f"python3 csv {min(python):.3f} / {statistics.median(python):.3f} s, "
      f"ratio of the medians {statistics.median(ours) / statistics.median(python):.2f} (goal <= 0.25)")
PY
