#!/bin/bash
# run.sh -- every command of the project; each installs what it needs first (Debian, as root).
#   ./run.sh demo        build nowtune.dll and show its answers in the stand-in host under Wine
#   ./run.sh test        build natively and for Windows, run every test (ctest)
#   ./run.sh bench       run the benchmarks (native core, and the whole event under Wine)
#   ./run.sh fuzz [SEC]  run each fuzz target for SEC seconds (default 60)
#   ./run.sh screenshot  render the settings dialog and the about box to PNG under Xvfb
#   ./run.sh release     build the user's download: nowtune.dll and its READMEs in a zip
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$here/build
jobs=$(nproc 2>/dev/null || echo 2)

usage() {
    sed -n '2,8p' "$0" | sed 's/^# \?//'
    exit 2
}
case "${1:-}" in
demo | test | bench | fuzz | screenshot | release) ;;
*) usage ;;
esac

# One command at a time per build folder: two would build and test over the same
# files. flock -o keeps the lock out of what the command starts, so a wineserver
# that outlives it never holds the folder.
if [ "${NOWTUNE_RUN_LOCKED:-}" != "$build" ]; then
    mkdir -p "$build"
    flock -n "$build/.lock" true || echo "run.sh: waiting for the other run.sh in $here"
    NOWTUNE_RUN_LOCKED=$build exec flock -o "$build/.lock" "$0" "$@"
fi

# ---------------------------------------------------------------- packages
export DEBIAN_FRONTEND=noninteractive
# Transient fetch failures are retried; a second apt waits for the first.
apt_options=(-q -o Acquire::Retries=3 -o DPkg::Lock::Timeout=600)
apt_log=$(mktemp)
trap 'rm -f "$apt_log"' EXIT
apt_updated=

# apt's own words on what went wrong: its first error and, for a dependency
# problem, the first dependency it could not meet.
apt_gist() {
    local error unmet
    error=$(grep -m1 '^E: ' "$apt_log" | sed 's/^E: //; s/ *\[IP: [^]]*\]//; s/  */ /g; s/\.$//' | cut -c1-200)
    unmet=$(grep -m1 ' : Depends: ' "$apt_log" | sed 's/^ *//' | cut -c1-150)
    echo "${error:-no error line}${unmet:+ ($unmet)}"
}

# install PKG...: installs those not installed yet; fails as apt-get does.
install() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    if [ -z "$apt_updated" ]; then
        apt_updated=1
        # One index that fails (a mirror in mid-sync) leaves the others updated.
        apt-get update "${apt_options[@]}" >"$apt_log" 2>&1 ||
            echo "apt-get update: $(apt_gist); going on with the package lists there are"
    fi
    apt-get install -y --no-install-recommends "${apt_options[@]}" "${missing[@]}" >"$apt_log" 2>&1
}

need() {
    install "$@" || {
        echo "run.sh: cannot install $*: $(apt_gist)" >&2
        exit 1
    }
}

setup_windows_build() { need cmake make g++-mingw-w64-i686; }
setup_native() { need cmake make g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev; }

# ---------------------------------------------------------------- where Wine runs
# Wine's 32-bit half needs a kernel that runs i386 programs and the i386 packages
# of Wine. Where either is missing (IA-32 emulation switched off, an arm64 host,
# a mirror whose i386 packages do not match the installed ones), the Wine part
# runs in a qemu guest that brings its own Wine. NOWTUNE_WINE_VM=1 takes the guest
# on any host.
wine_place=
added_i386=

# A static i386 program that only exits with status 0: the ELF header, one
# program header loading the file at 0x08048000, then mov eax,1; xor ebx,ebx;
# int 0x80. It needs no i386 package, so it asks the kernel alone.
runs_i386() {
    local probe=$build/i386-probe.$$ rc=0
    {
        printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0'
        printf '\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0'
        printf '\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0'
        printf '\xb8\x01\0\0\0\x31\xdb\xcd\x80'
    } >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    return $rc
}

use_guest() {
    wine_place=guest
    echo "$1: the Wine part runs in a qemu guest; building the guest the first time takes a few minutes"
}

# Decides before anything is installed, so that the one package update already
# has the i386 lists where Wine runs here.
choose_wine_place() {
    if [ "${NOWTUNE_WINE_VM:-}" = 1 ]; then
        use_guest "NOWTUNE_WINE_VM=1"
    elif ! runs_i386; then
        use_guest "this kernel runs no 32-bit programs"
    else
        wine_place=host
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            dpkg --add-architecture i386
            added_i386=1
        fi
    fi
}

# Wine ran here before on the same terms: ANSI code page 1251 (Russian) and, for
# one test, 1252 (English).
need_locales() {
    local wanted=(ru_RU.UTF-8 en_US.UTF-8) changed= l
    for l in "${wanted[@]}"; do
        if ! locale -a 2>/dev/null | grep -qi "^${l%%.*}.utf-\?8$"; then
            sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
            grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >>/etc/locale.gen
            changed=1
        fi
    done
    [ -z "$changed" ] || locale-gen >/dev/null
}

setup_wine() {
    if [ "$wine_place" = host ]; then
        if install wine wine32:i386 locales; then
            need_locales
            return
        fi
        use_guest "Wine's 32-bit half cannot be installed here (apt: $(apt_gist))"
        # Taken back out: nothing i386 went in.
        [ -z "$added_i386" ] || dpkg --remove-architecture i386 2>/dev/null || true
    fi
    local guest_packages=(qemu-system-x86 debootstrap e2fsprogs)
    # The guest is x86-64 on any host; elsewhere its packages are unpacked and
    # configured through qemu's user-mode emulation.
    [ "$(dpkg --print-architecture)" = amd64 ] || guest_packages+=(qemu-user-static)
    need "${guest_packages[@]}"
}

# Runs a command that needs Wine: here, or in the guest.
on_wine() {
    if [ "$wine_place" = guest ]; then "$here/tools/wine/vm.sh" run "$@"; else "$@"; fi
}

# ---------------------------------------------------------------- builds
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

case "$1" in
demo)
    choose_wine_place
    setup_windows_build
    setup_wine
    build_windows
    echo
    on_wine "$here/tools/wine/wine.sh" once "$build/win/bin/demohost.exe"
    ;;
test)
    choose_wine_place
    setup_windows_build
    setup_native
    setup_wine
    build_windows
    build_native
    cd "$build/native"
    if [ "$wine_place" = host ]; then
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
    choose_wine_place
    setup_windows_build
    setup_native
    setup_wine
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
    choose_wine_place
    setup_windows_build
    setup_wine
    # The guest brings its own X server and fonts.
    [ "$wine_place" = guest ] || need xvfb xauth imagemagick fonts-wine
    build_windows
    on_wine "$here/tools/screenshot/screenshot.sh" "$build"
    ;;
release)
    setup_windows_build
    need zip
    build_windows
    "$here/tools/release/release.sh" "$build"
    ;;
esac
