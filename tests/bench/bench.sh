#!/bin/bash
# bench.sh -- runs one half of the benchmarks: the core natively (Google Benchmark), or the whole status-text event under Wine.
#   bench.sh native|wine BUILD   BUILD holds the native build in BUILD/native and the cross build in BUILD/win
set -u
if [ $# -lt 2 ]; then
    sed -n '3p' "$0" | sed 's/^# \?//'
    exit 2
fi
here=$(cd "$(dirname "$0")/../.." && pwd)
repetitions=15
build=$(cd "$2" && pwd) || exit 2
case $1 in
native)
    program=$build/native/tests/bench/expand_bench
    title="core, native: expansion of a 511-byte text with all six tags and of one with none, beside a plain copy of it; medians of $repetitions"
    ;;
wine)
    program=$build/win/bin/event_bench.exe
    title="nowtune.dll under Wine: the status-text event beside the window calls it cannot avoid"
    ;;
*)
    sed -n '3p' "$0" | sed 's/^# \?//'
    exit 2
    ;;
esac
if [ ! -f "$program" ]; then
    echo "$program is not built" >&2
    exit 1
fi

echo "== $title"
# Medians over repetitions: one burst of other load on the machine spoils a
# repetition, not the figure.
if [ "$1" = native ]; then
    exec "$program" --benchmark_repetitions=$repetitions --benchmark_report_aggregates_only=true
fi
exec "$here/tools/wine.sh" once "$program"
