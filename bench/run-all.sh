#!/usr/bin/env bash
# Runs every benchmark in turn and prints its figures.
set -euo pipefail
build=${1:-build}
here=$(dirname "$0")
for bench in "$here"/*.sh; do
    [ "$(basename "$bench")" = run-all.sh ] && continue
    echo "== $(basename "$bench" .sh)"
    "$bench" "$build"
done
