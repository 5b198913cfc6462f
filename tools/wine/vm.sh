#!/bin/bash
# vm.sh -- runs one command that needs Wine inside an x86-64 Debian guest under qemu, for hosts where Wine cannot run.
#   vm.sh run CMD [ARGS]  boot the guest, run CMD there, print its output, exit with its status
# CMD runs in the current folder when that lies in the project, else in the project
# folder, which the guest shares at the same path, so the built programs run in
# place. The guest is built once (tools/wine/vm-guest.sh) and kept in NOWTUNE_VM_CACHE
# (default /var/cache/nowtune-vm) with a Wine prefix made on it once; every boot
# starts from that image unchanged.
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
cache=${NOWTUNE_VM_CACHE:-/var/cache/nowtune-vm}
# Measured on 2 cores: the guest reaches its job about 10 s after qemu starts
# under software emulation (2 s with KVM); the longest job, making the prefix,
# takes about 90 s, the Wine tests about 50 s. A guest that hangs is given up
# well before an hour.
boot_limit=120
job_limit=900
# Marks a folder of the cache as a guest this script built: nothing else there is removed.
guest_mark=.nowtune-guest

if [ "${1:-}" != run ] || [ $# -lt 2 ]; then
    sed -n '3p' "$0" | sed 's/^# \?//'
    exit 2
fi
shift
# The path goes to the guest's kernel command line, which splits at white space
# and reads quotes.
case $here in *[[:space:]\"\']*)
    echo "vm.sh: the project path must hold no white space or quotes: $here" >&2
    exit 2
    ;;
esac
# qemu reads a comma inside an option's value as the start of the next option unless doubled.
qemu_value() { printf '%s' "${1//,/,,}"; }

die() {
    echo "vm.sh: $*" >&2
    exit 1
}

# Removes a folder of this script's, first taking off whatever a build that was
# killed left mounted inside it; never crosses into another file system.
remove_tree() {
    local dir=$1 mounts
    mounts=$(findmnt -rn -o TARGET | awk -v d="$dir" 'index($0, d "/") == 1' | sort -r)
    [ -z "$mounts" ] || while read -r m; do umount "$m" 2>/dev/null || umount -l "$m"; done <<<"$mounts"
    if findmnt -rn -o TARGET | awk -v d="$dir" 'index($0, d "/") == 1 { found = 1 } END { exit !found }'; then
        die "$dir still has file systems mounted inside; not removing it"
    fi
    rm -rf --one-file-system "$dir"
}

# A guest is known by its recipe: built again whenever vm-guest.sh changes.
recipe=$(sha256sum "$here/tools/wine/vm-guest.sh" | cut -c1-16)
guest=$cache/guest-$recipe
# Wine's prefix goes on the guest's own disk: on the share Wine runs several times
# slower. Making it takes most of a short command's time, so it is made once, on the
# image itself, and every later boot starts with it. It is made again when wine.sh,
# which makes it, changes.
prefix=/root/wineprefix
prefix_stamp=$guest/prefix-$(sha256sum "$here/tools/wine/wine.sh" | cut -c1-16)

# Guests of other recipes go, unless a boot is using one now.
remove_old_guests() {
    local dir
    for dir in "$cache"/guest-*; do
        [ -f "$dir/$guest_mark" ] && [ "$dir" != "$guest" ] || continue
        if [ ! -f "$dir/ready" ] || flock -n -x "$dir/ready" true; then
            echo "vm.sh: removing the guest of an older recipe, $dir"
            remove_tree "$dir"
        fi
    done
}

build_guest() {
    if [ -e "$guest" ]; then
        [ -f "$guest/$guest_mark" ] || die "$guest is not a guest of this script's; move it away"
        echo "vm.sh: a build of the guest was interrupted; building it again"
        remove_tree "$guest"
    fi
    echo "vm.sh: building the guest in $guest (a few minutes, once)"
    local started=$SECONDS
    mkdir -p "$guest" && echo "a Wine guest built by $here/tools/wine/vm.sh" >"$guest/$guest_mark" ||
        die "cannot write to $cache"
    # Its own mount and process namespaces: the bind mounts of the build and
    # whatever a package starts go away with it, however it ends. Inside a
    # chroot, whose root is no mount point, the mounts cannot be made private
    # and keep the propagation the chroot's maker gave them.
    local propagation=private
    mountpoint -q / || propagation=unchanged
    unshare --mount --propagation $propagation --pid --fork --kill-child -- "$here/tools/wine/vm-guest.sh" "$guest" ||
        die "building the guest failed"
    touch "$guest/ready"
    echo "vm.sh: guest built in $((SECONDS - started)) s"
}

# write_job RUN DIR CMD [ARGS]: the job the guest runs, CMD in DIR with the project's settings.
write_job() {
    local run=$1 dir=$2
    shift 2
    {
        echo "export HOME=/root LANG=C.UTF-8 TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin"
        echo "export NOWTUNE_WINEPREFIX=$prefix"
        env | grep -E '^NOWTUNE_[A-Z_]+=' | grep -v -E '^NOWTUNE_(WINE_VM|WINEPREFIX|RUN_LOCKED)=' |
            while IFS= read -r line; do printf 'export %q\n' "$line"; done
        printf 'cd %q || exit 1\n' "$dir"
        printf 'exec'
        printf ' %q' "$@"
        echo
    } >"$run/job"
}

# boot RUN DRIVE: boots the guest on the job in the folder RUN with qemu's drive
# options DRIVE; prints the job's output and returns its status. The guest's init
# marks RUN/started when the job begins and leaves its status in RUN/status.
boot() {
    local run=$1 drive=$2
    # -cpu max,-smap: with SMAP, qemu's software emulation faults on the return to
    # 32-bit user code and the guest kernel kills every Wine process.
    # norandmaps: fixed addresses let qemu reuse translated code across short Wine processes.
    qemu-system-x86_64 \
        -accel tcg,thread=multi -smp 2 -cpu max,-smap -m 2048 \
        -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
        -append "root=/dev/vda rw console=ttyS0 panic=1 init=/sbin/nowtune-init norandmaps nowtune.share=$here nowtune.run=${run#"$here"/}" \
        -drive "$drive,format=raw,if=virtio" \
        -virtfs "local,path=$(qemu_value "$here"),mount_tag=project,security_model=passthrough" \
        -chardev "file,id=console,path=$(qemu_value "$run/console.log")" -serial chardev:console \
        -device virtio-serial-pci -chardev stdio,id=job,signal=off -device virtconsole,chardev=job \
        -nodefaults -display none -no-reboot </dev/null &
    local qemu=$! since=$SECONDS job_since= why=
    while kill -0 "$qemu" 2>/dev/null; do
        if [ -f "$run/status" ]; then
            # The guest powers off right after; a few seconds are enough.
            for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$qemu" 2>/dev/null && sleep 1; done
            break
        elif [ -z "$job_since" ] && [ -f "$run/started" ]; then
            job_since=$SECONDS
        elif [ -z "$job_since" ] && [ $((SECONDS - since)) -ge $boot_limit ]; then
            why="the guest did not reach its job within $boot_limit s"
            break
        elif [ -n "$job_since" ] && [ $((SECONDS - job_since)) -ge $job_limit ]; then
            why="the job ran over $job_limit s"
            break
        fi
        sleep 1
    done
    kill "$qemu" 2>/dev/null
    wait "$qemu" 2>/dev/null
    [ -n "$why" ] || [ -f "$run/status" ] || why="the guest ended without the command's status"
    if [ -n "$why" ]; then
        echo "vm.sh: $why; its console:" >&2
        tail -20 "$run/console.log" >&2
        return 1
    fi
    return "$(cat "$run/status")"
}

# A folder of this run's own for its job, status and console.
new_run() {
    mkdir -p "$here/build/vm" && mktemp -d "$here/build/vm/run.XXXXXX"
}

make_prefix() {
    echo "vm.sh: making Wine's prefix on the guest's disk (a minute or two, once)"
    local started=$SECONDS run
    # Made on a copy that replaces the image only when wine.sh made the prefix
    # whole, so the guest's flushes need not reach the disk (cache=unsafe): Wine
    # writes thousands of files. The root is left read-only, so no later boot
    # replays the journal. The guest's sh reads the job: one line, no bash quoting.
    rm -f "$guest/guest.img.new"
    cp --sparse=always "$guest/guest.img" "$guest/guest.img.new" || die "cannot copy the guest's image"
    run=$(new_run) || die "cannot make a folder in $here/build/vm"
    write_job "$run" "$here" sh -c "unset NOWTUNE_GRAPHICS NOWTUNE_LOCALE; tools/wine/wine.sh start && tools/wine/wine.sh stop && sync && mount -o remount,ro /"
    if ! boot "$run" "file=$(qemu_value "$guest/guest.img.new"),cache=unsafe" >"$run/output"; then
        tail -20 "$run/output" >&2
        rm -f "$guest/guest.img.new"
        rm -rf "$run"
        die "making Wine's prefix failed"
    fi
    rm -rf "$run"
    mv "$guest/guest.img.new" "$guest/guest.img"
    rm -f "$guest"/prefix-*
    touch "$prefix_stamp"
    echo "vm.sh: prefix made in $((SECONDS - started)) s"
}

# Building the guest and making its prefix: one vm.sh at a time, whichever
# project it serves.
mkdir -p "$cache" || die "cannot make $cache"
exec 8>"$cache/.lock"
flock -n 8 || {
    echo "vm.sh: waiting for another vm.sh to finish building or preparing the guest"
    flock 8
}
remove_old_guests
[ -f "$guest/ready" ] || build_guest
[ -f "$prefix_stamp" ] || make_prefix
# Held while the guest boots from its image, so that no other vm.sh removes it.
exec 7<"$guest/ready"
flock -s 7
exec 8>&-

run=$(new_run) || die "cannot make a folder in $here/build/vm"
trap 'rm -rf "$run"' EXIT
dir=$here
case $PWD/ in "$here"/*) dir=$PWD ;; esac
write_job "$run" "$dir" "$@"
started=$SECONDS
# snapshot=on: every write of the command goes to a throw-away overlay.
boot "$run" "file=$(qemu_value "$guest/guest.img"),snapshot=on"
rc=$?
echo "vm.sh: the guest ran for $((SECONDS - started)) s"
exit $rc
