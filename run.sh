#!/bin/bash
# run.sh -- every command of the project; each installs what it needs first (Debian, as root).
#   ./run.sh demo        build nowtune.dll and show its answers in the stand-in host under Wine
#   ./run.sh test        build natively and for Windows, run every test (ctest)
#   ./run.sh bench       run the benchmarks (native core, and the whole event under Wine)
#   ./run.sh fuzz [SEC]  run each fuzz target for SEC seconds (default 60)
#   ./run.sh screenshot  render the settings dialog and the about box to PNG under Xvfb
#   ./run.sh release     build the user's download: nowtune.dll and its README in a zip
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$here/build
jobs=$(nproc 2>/dev/null || echo 2)

need_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -q >/dev/null
    apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# Wine runs with the ANSI code page 1251 (Russian) and, for one test, 1252 (English).
need_locales() {
    need_packages locales
    local wanted=(ru_RU.UTF-8 en_US.UTF-8) changed=
    for l in "${wanted[@]}"; do
        if ! locale -a 2>/dev/null | grep -qi "^${l%%.*}.utf-\?8$"; then
            sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
            grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >>/etc/locale.gen
            changed=1
        fi
    done
    [ -z "$changed" ] || locale-gen >/dev/null
}

setup_windows() {
    need_packages cmake make g++ g++-mingw-w64-i686 wine wine32:i386
    need_locales
}

# Wine's 32-bit half needs a kernel that runs i386 programs; some have that switched
# off (ia32_emulation=off), and arm64 has none. There Wine runs in a qemu guest.
# NOWTUNE_WINE_VM=1 takes the guest on any host.
wine_vm=
setup_wine_place() {
    local why=
    if [ "${NOWTUNE_WINE_VM:-}" = 1 ]; then
        why="NOWTUNE_WINE_VM=1"
    elif ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
        why="this kernel runs no 32-bit programs"
    fi
    [ -n "$why" ] || return 0
    wine_vm=1
    need_packages qemu-system-x86 debootstrap e2fsprogs
    echo "$why: the Wine part runs in a qemu guest; building the guest the first time takes a few minutes"
}

# Runs a command that needs Wine: here, or in the guest.
on_wine() {
    if [ -n "$wine_vm" ]; then "$here/tools/vm.sh" run "$@"; else "$@"; fi
}

setup_native() {
    need_packages cmake make g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev
}

build_windows() {
    cmake -S "$here" -B "$build/win" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$build/win" -j "$jobs"
}

build_native() {
    CC=clang CXX=clang++ cmake -S "$here" -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DWIN_BUILD_DIR="$build/win" >/dev/null
    cmake --build "$build/native" -j "$jobs"
}

case "${1:-}" in
demo)
    setup_windows
    setup_wine_place
    build_windows
    echo
    on_wine "$here/tools/wine.sh" once "$build/win/bin/demohost.exe"
    ;;
test)
    setup_windows
    setup_wine_place
    setup_native
    build_windows
    build_native
    cd "$build/native"
    if [ -z "$wine_vm" ]; then
        ctest --output-on-failure -j "$jobs"
    else
        # The native tests here, then the Wine tests in one boot of the guest.
        rc=0
        ctest --output-on-failure -j "$jobs" -E '^wine_' || rc=$?
        on_wine ctest --output-on-failure -R '^wine_' || rc=$?
        exit $rc
    fi
    ;;
bench)
    setup_windows
    setup_wine_place
    setup_native
    build_windows
    build_native
    "$here/tests/bench/bench.sh" native "$build"
    echo
    "$here/tests/bench/bench.sh" size "$build"
    echo
    on_wine "$here/tests/bench/bench.sh" wine "$build"
    ;;
fuzz)
    setup_native
    build_native
    "$here/tests/fuzz/fuzz.sh" "$build/native" "${2:-60}"
    ;;
screenshot)
    setup_windows
    setup_wine_place
    # The guest brings its own X server and fonts.
    [ -n "$wine_vm" ] || need_packages xvfb xauth imagemagick fonts-wine
    build_windows
    on_wine "$here/tools/screenshot.sh" "$build"
    ;;
release)
    setup_windows
    need_packages zip
    build_windows
    "$here/tools/release.sh" "$build"
    ;;
*)
    sed -n '2,9p' "$0" | sed 's/^# \?//'
    exit 2
    ;;
esac
