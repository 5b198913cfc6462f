#!/bin/bash
# screenshot.sh -- photographs the real settings dialog and about box under Xvfb and Wine's X11 driver into docs/
#   screenshot.sh BUILD    BUILD/win/bin holds nowtune.dll and shot.exe (run.sh builds them first)
# Writes docs/settings.png and docs/about.png, each cropped to its window.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: screenshot.sh BUILD}" && pwd)

# Everything below needs a display: start again inside a private X server.
if [ -z "${NOWTUNE_SHOT_DISPLAY:-}" ]; then
    exec env NOWTUNE_SHOT_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$build"
fi

bin=$build/win/bin
docs=$here/docs
markers=$bin/shot
wine=$here/tools/wine/wine.sh
# A prefix of its own: the tests' prefix draws with the null driver, which shows nothing.
export NOWTUNE_WINEPREFIX=${NOWTUNE_WINEPREFIX:-$build/wineprefix}-x11 NOWTUNE_GRAPHICS=x11

[ -f "$bin/nowtune.dll" ] && [ -f "$bin/shot.exe" ] || { echo "no nowtune.dll or shot.exe in $bin" >&2; exit 1; }
mkdir -p "$docs"
rm -rf "$markers"

"$wine" start
# Wine's own fonts (MS Sans Serif, and Marlett for the caption buttons) may be left
# out of a fresh prefix; without Marlett the close box shows a letter "r".
wine_fonts=/usr/share/wine/fonts
prefix_fonts=$NOWTUNE_WINEPREFIX/drive_c/windows/Fonts
if [ -d "$wine_fonts" ] && [ -d "$prefix_fonts" ]; then
    for font in "$wine_fonts"/*; do
        [ -e "$prefix_fonts/$(basename "$font")" ] || ln -s "$font" "$prefix_fonts/"
    done
fi
shot_pid=
finish() {
    [ -z "$shot_pid" ] || kill "$shot_pid" 2>/dev/null || true
    "$wine" stop
}
trap finish EXIT

"$wine" run "$bin/shot.exe" &
shot_pid=$!

# Waits for shot.exe to show the window NAME, photographs it and lets it go on.
shoot() {
    local name=$1 ready=$markers/$1.ready waited=0
    while [ ! -f "$ready" ]; do
        if ! kill -0 "$shot_pid" 2>/dev/null; then
            echo "shot.exe ended before showing the $name window" >&2
            exit 1
        fi
        if [ $waited -ge 600 ]; then
            echo "the $name window did not show within two minutes" >&2
            exit 1
        fi
        sleep 0.2
        waited=$((waited + 1))
    done
    local left top right bottom
    read -r left top right bottom < <(tr -d '\r' <"$ready")
    import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$docs/$name.png"
    touch "$markers/$name.taken"
    echo "$docs/$name.png: $(identify -format '%wx%h %m' "$docs/$name.png")"
}

shoot settings
shoot about
wait "$shot_pid"
shot_pid=
