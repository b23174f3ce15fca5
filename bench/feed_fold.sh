#!/usr/bin/env bash
# A big Hot Trends feed page: the window's longest stand-still, the peak memory and the time a
# termination signal takes while the page is read and folded (bench/feed_fold_bench.cpp says what
# is measured), beside the fold on the window's thread and the page's decoding as references.
#   bench/feed_fold.sh [BUILD_DIR]    RUNS (default 3), BARE_MB (60), REAL_MB (16), PROGRAM (the
#                                     build's quillory), BEFORE_PROGRAM (another build's quillory,
#                                     measured beside it when set) change what is measured
set -euo pipefail
build=${1:-build}
program=${PROGRAM:-$build/quillory}
export BEFORE_PROGRAM=${BEFORE_PROGRAM:-}
"$build/bench/feed_fold_bench" all "$program" "${RUNS:-3}" "${BARE_MB:-60}" "${REAL_MB:-16}"
