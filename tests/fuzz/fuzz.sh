#!/bin/bash
# fuzz.sh -- runs each libFuzzer target for a while over a scratch copy of its saved inputs and reports crashes.
#   fuzz.sh BUILD SECONDS [TARGET...]
# BUILD is the native build folder; without TARGETs every target runs. The
# saved inputs in tests/fuzz/corpus are only read: new finds stay in the scratch
# folder under BUILD/tests/fuzz/work, crash inputs beside it.
set -u
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 2 ]; then
    sed -n '3,6p' "$0" | sed 's/^# \?//'
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_search fuzz_expand fuzz_settings fuzz_tags fuzz_aimp)
# Long enough for string B and string A beyond every capacity.
max_len=2048
work=$build/tests/fuzz/work
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

failed=0
for target in "${targets[@]}"; do
    fuzzer=$build/tests/fuzz/$target
    if [ ! -x "$fuzzer" ]; then
        echo "$target: not built (is clang's libFuzzer installed?)"
        failed=1
        continue
    fi
    scratch=$work/$target
    crashes=$work/$target-crashes
    log=$work/$target.log
    rm -rf "$scratch" "$crashes"
    mkdir -p "$scratch" "$crashes"
    cp "$here/corpus/$target/"* "$scratch/" 2>/dev/null
    "$fuzzer" -max_total_time="$seconds" -max_len=$max_len -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$scratch" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    found=$(ls "$crashes")
    if [ $rc -ne 0 ] || [ -n "$found" ]; then
        echo "$target: FAILED (exit $rc) after ${runs:-?} runs; log $log"
        grep -E 'check failed|ERROR: |SUMMARY: |runtime error' "$log" | head -n 20
        for f in $found; do
            echo "  crash input: $crashes/$f"
        done
        failed=1
    else
        echo "$target: ${runs:-?} runs in ${seconds}s, $(ls "$scratch" | wc -l) inputs in the scratch corpus, no crash"
    fi
done
exit $failed
