#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for FUZZ_SECONDS (60 by default) each, on its seeds in
# fuzz/corpus/<target>/ and on what earlier runs found (<build>/corpus/<target>/). A crash stops that
# target, and its input is kept in <build>/crashes/<target>/, which the summary names.
#   scripts/fuzz.sh [BUILD]      (build-fuzz by default)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
failed=()
printf '%-26s %12s %10s %8s\n' target executions "per s" corpus
for exe in "$build"/fuzz/fuzz_*; do
    [ -x "$exe" ] && [ -f "$exe" ] || continue
    target=$(basename "$exe")
    found="$build/corpus/$target"
    crashes="$build/crashes/$target"
    mkdir -p "$found" "$crashes"
    log="$build/fuzz-$target.log"
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$found" "fuzz/corpus/$target" >"$log" 2>&1
    status=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
    units=$(ls "$found" | wc -l)
    printf '%-26s %12s %10s %8s\n' "$target" "${runs:-0}" "$(( ${runs:-0} / (seconds > 0 ? seconds : 1) ))" "$units"
    if [ $status -ne 0 ]; then
        failed+=("$target")
        echo "  $target failed (status $status): its input is in $crashes/, its log in $log" >&2
        grep -m 5 -E 'ERROR|broken:|SUMMARY' "$log" | sed 's/^/    /' >&2
    fi
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}" >&2
    exit 1
fi
echo "fuzzing: no fault in ${seconds} s a target"
