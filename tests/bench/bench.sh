#!/bin/bash
# bench.sh -- runs the benchmarks: the core natively (Google Benchmark), then the whole status-text event under Wine.
#   bench.sh BUILD   BUILD holds the native build in BUILD/native and the cross build in BUILD/win
set -u
if [ $# -lt 1 ]; then
    sed -n '3p' "$0" | sed 's/^# \?//'
    exit 2
fi
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd) || exit 2
native=$build/native/tests/bench/expand_bench
windows=$build/win/bin/event_bench.exe
for program in "$native" "$windows"; do
    if [ ! -f "$program" ]; then
        echo "$program is not built" >&2
        exit 1
    fi
done

echo "== core, native: expansion of a 511-byte text with all six tags beside a plain copy of it"
"$native" || exit 1

echo
echo "== nowtune.dll under Wine: the status-text event beside the window calls it cannot avoid"
"$here/tools/wine.sh" start
rc=0
"$here/tools/wine.sh" run "$windows" || rc=$?
"$here/tools/wine.sh" stop
exit $rc
