#!/usr/bin/env bash
# Runs every benchmark program of a build in turn: bench/run-all.sh [BUILD_DIR]
set -euo pipefail

build=${1:-build}
shopt -s nullglob
programs=("$build"/bench/*_bench)
if [ ${#programs[@]} -eq 0 ]; then
    echo "No benchmark programs in $build/bench: build first (make build)." >&2
    exit 1
fi

status=0
for program in "${programs[@]}"; do
    echo "== $(basename "$program")"
    "$program" || status=1
done
exit $status
