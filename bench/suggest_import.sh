#!/usr/bin/env bash
# Suggest table import: 100,000 lines into a table of 100,000 phrases (goal: well under 1 s).
set -euo pipefail
build=${1:-build}
"$build/bench/suggest_import_bench" "${TABLE_ROWS:-100000}" "${LINES:-100000}"
