#!/bin/bash
# wine.sh -- runs Windows programs under Wine the way every test and demo here needs it:
# own prefix in the build folder, ANSI code page 1251, no display, no pipes left open.
#   wine.sh start            prepare the prefix and start a persistent wineserver
#   wine.sh run PROG [ARGS]  run PROG in its own folder; its output is passed on
#   wine.sh stop             stop the wineserver
#   wine.sh once PROG [ARGS] start, run PROG, stop: for a single program
# NOWTUNE_WINEPREFIX, NOWTUNE_LOCALE and NOWTUNE_GRAPHICS (null, or x11 with a display) change those three.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${NOWTUNE_WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=-all
export LC_ALL=${NOWTUNE_LOCALE:-ru_RU.UTF-8}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
graphics=${NOWTUNE_GRAPHICS:-null}

# Wine's background processes inherit our descriptors; never hand them a pipe
# that someone waits on, only files and /dev/null.
prepare() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    # The driver is chosen when the prefix is made; later runs keep it whatever they ask.
    if [ ! -f "$WINEPREFIX/.nowtune-prepared" ]; then
        wineboot -i </dev/null >>"$WINEPREFIX.log" 2>&1
        wineserver -w
        if [ "$graphics" = null ]; then
            wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >>"$WINEPREFIX.log" 2>&1
            wineserver -w
        fi
        if [ "$graphics" = x11 ]; then
            # Xvfb runs no window manager to draw title bars and frames; Wine draws its own.
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >>"$WINEPREFIX.log" 2>&1
            wineserver -w
        fi
        echo "$graphics" >"$WINEPREFIX/.nowtune-prepared"
    fi
}

case "${1:-}" in
start)
    prepare
    # Refused when a server already runs for this prefix, which serves as well.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    ;;
stop)
    wineserver -k </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
    exit 0
    ;;
once)
    shift
    "$0" start
    "$0" run "$@"
    rc=$?
    "$0" stop
    exit $rc
    ;;
run)
    shift
    prepare
    prog=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    shift
    out=$(mktemp)
    (cd "$(dirname "$prog")" && timeout 240 wine "$prog" "$@" </dev/null >"$out" 2>&1)
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
