#!/usr/bin/env bash
# The history of trends: at scale (ledger_bench scale: a scrape's write, a keyword's history, the
# rising keywords, the file's size, the first open's check of the whole file), then the first
# start's import of a table of ROWS rows (1,000,000) into a new history, RUNS (3) times, beside the
# sqlite3 command line running the same statements on the same rows in the same run. Both are
# reported as min and median of their wall-clock and CPU times.
set -euo pipefail
build=${1:-build}
rows=${ROWS:-1000000}
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/ledger_bench" scale
"$build/bench/ledger_bench" import-sql "$rows" "$work"
TIMEFORMAT='%R %U %S'
for run in $(seq "$runs"); do
    "$build/bench/ledger_bench" import "$rows" | tee -a "$work/ours"
    cp "$work/empty.sqlite" "$work/cli.sqlite"
    { time sqlite3 "$work/cli.sqlite" < "$work/import.sql" > /dev/null; } 2> "$work/time"
    read -r wall user system < "$work/time"
    echo "sqlite3 command line, the same statements: $wall s wall, $(awk "BEGIN { print $user + $system }") s CPU" \
        | tee -a "$work/cli"
done
# The same history both ways.
"$build/bench/ledger_bench" content "$work/cli.sqlite" | sed 's/^/sqlite3 command line: /'
grep -m1 '^content' "$work/ours" | sed 's/^/ours: /'
python3 - "$work/ours" "$work/cli" "$rows" <<'PY'
import re, statistics, sys
def times(path, pattern):
    found = re.findall(pattern, open(path).read())
    return [float(w) for w, _ in found], [float(c) for _, c in found]
ours_wall, ours_cpu = times(sys.argv[1], r"new history: ([0-9.]+) s wall, ([0-9.]+) s CPU")
cli_wall, cli_cpu = times(sys.argv[2], r"statements: ([0-9.]+) s wall, ([0-9.]+) s CPU")
per_million = 1e6 / int(sys.argv[3])
def line(name, values):
    return f"{name} min / median of {len(values)}: {min(values) * per_million:.2f} / {statistics.median(values) * per_million:.2f} s per million rows"
print("import, wall: " + line("ours", ours_wall) + "; " + line("sqlite3", cli_wall) + " (goal <= 5 s)")
print("import, CPU:  " + line("ours", ours_cpu) + "; " + line("sqlite3", cli_cpu))
PY
