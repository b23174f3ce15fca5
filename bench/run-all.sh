#!/usr/bin/env bash
# Runs every benchmark program of a build in turn: bench/run-all.sh [BUILD_DIR]. A program
# NAME_bench with a script NAME.sh beside this one runs through the script, which prepares its data.
set -euo pipefail

build=${1:-build}
here=$(dirname "$0")
shopt -s nullglob
programs=("$build"/bench/*_bench)
if [ ${#programs[@]} -eq 0 ]; then
    echo "No benchmark programs in $build/bench: build first (make build)." >&2
    exit 1
fi

status=0
for program in "${programs[@]}"; do
    name=$(basename "$program" _bench)
    echo "== $name"
    if [ -x "$here/$name.sh" ]; then
        "$here/$name.sh" "$build" || status=1
    else
        "$program" || status=1
    fi
done
exit $status
