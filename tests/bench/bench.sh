#!/bin/bash
# bench.sh -- runs one part of the benchmarks: the core natively (Google Benchmark), the module's size, or the whole status-text event under Wine.
#   bench.sh native|size|wine BUILD   BUILD holds the native build in BUILD/native and the cross build in BUILD/win
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
size)
    program=$build/win/bin/nowtune.dll
    title="nowtune.dll: file size, sections and static data"
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
case $1 in
native)
    # Medians over repetitions: one burst of other load on the machine spoils a
    # repetition, not the figure.
    exec "$program" --benchmark_repetitions=$repetitions --benchmark_report_aggregates_only=true
    ;;
size)
    echo "file: $(stat -c %s "$program") bytes"
    # Every section with the bytes it uses; static data is what the writable
    # sections hold: .data and .bss.
    total=0
    while read -r _ name size _; do
        echo "$name: $((0x$size)) bytes"
        case $name in .data | .bss) total=$((total + 0x$size)) ;; esac
    done < <(i686-w64-mingw32-objdump -h "$program" | grep -E '^ *[0-9]+ ')
    echo "static data: $total bytes"
    ;;
wine)
    exec "$here/tools/wine/wine.sh" once "$program"
    ;;
esac
