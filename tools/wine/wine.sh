#!/bin/bash
# wine.sh -- runs Windows programs under Wine the way every test and demo here needs it:
# own prefix in the build folder, ANSI code page 1251, no display, no pipes left open.
#   wine.sh start            prepare the prefix and start a persistent wineserver
#   wine.sh run PROG [ARGS]  run PROG in its own folder; its output is passed on
#   wine.sh stop             stop the wineserver, unless another run's program is running
#   wine.sh once PROG [ARGS] start, run PROG, stop: for a single program
# NOWTUNE_WINEPREFIX, NOWTUNE_LOCALE and NOWTUNE_GRAPHICS (null, or x11 with a display) change those three.
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX=${NOWTUNE_WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=-all
export LC_ALL=${NOWTUNE_LOCALE:-ru_RU.UTF-8}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
graphics=${NOWTUNE_GRAPHICS:-null}
# Written first into a prefix this script makes, and last once it is whole.
made_here=$WINEPREFIX/.nowtune-prefix
ready=$WINEPREFIX/.nowtune-prepared
# Each program runs holding this shared; stop kills the server only when it can
# take it alone, so it never kills another run's program.
users=$WINEPREFIX.users

# Wine's background processes inherit our descriptors; never hand them a pipe
# that someone waits on, only files and /dev/null. Nor a lock: flock -o keeps
# the lock's descriptor to itself.
prepare() {
    [ -f "$ready" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")" || return 1
    flock -o "$WINEPREFIX.lock" "$0" make-prefix
}

# The driver is chosen when the prefix is made; later runs keep it whatever they ask.
make_prefix() {
    [ -f "$ready" ] && return 0
    if [ -e "$WINEPREFIX" ]; then
        if [ ! -f "$made_here" ]; then
            echo "wine.sh: $WINEPREFIX was not made by this script; move it away" >&2
            return 1
        fi
        # A prefix whose making was cut short or failed.
        rm -rf --one-file-system "$WINEPREFIX"
    fi
    mkdir -p "$WINEPREFIX" && : >"$made_here" || return 1
    local log=$WINEPREFIX.log step
    : >"$log"
    for step in boot graphics; do
        case $step in
        boot) wineboot -i ;;
        graphics)
            case $graphics in
            null) wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f ;;
            # Xvfb runs no window manager to draw title bars and frames; Wine draws its own.
            x11) wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f ;;
            esac
            ;;
        esac </dev/null >>"$log" 2>&1
        local rc=$?
        wineserver -w
        if [ $rc -ne 0 ]; then
            echo "wine.sh: making Wine's prefix failed ($step, exit $rc); the next run makes it again. $log:" >&2
            tail -5 "$log" >&2
            rm -rf --one-file-system "$WINEPREFIX"
            return 1
        fi
    done
    echo "$graphics" >"$ready"
}

case "${1:-}" in
start)
    prepare || exit 1
    # Refused when a server already runs for this prefix, which serves as well.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    ;;
make-prefix)
    make_prefix
    ;;
stop)
    [ -d "$WINEPREFIX" ] || exit 0
    flock -n -E 75 -o "$users" sh -c 'wineserver -k; wineserver -w; true' </dev/null >/dev/null 2>&1
    [ $? -ne 75 ] || echo "wine.sh: another run's program is running in $WINEPREFIX; its wineserver stays"
    exit 0
    ;;
once)
    shift
    "$0" start || exit 1
    "$0" run "$@"
    rc=$?
    "$0" stop
    exit $rc
    ;;
run)
    shift
    prepare || exit 1
    prog=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    shift
    out=$(mktemp)
    (cd "$(dirname "$prog")" && flock -s -o "$users" timeout 240 wine "$prog" "$@" </dev/null >"$out" 2>&1)
    rc=$?
    # Wine's own loader messages are noise; the program's output is what counts.
    grep -v -E '^(wine: |Could not find Wine Gecko|[0-9a-f]{4}:(err|fixme))' "$out"
    rm -f "$out"
    exit $rc
    ;;
*)
    echo "usage: $0 start|run PROG [ARGS]|stop|once PROG [ARGS]" >&2
    exit 2
    ;;
esac
