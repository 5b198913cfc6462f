#!/bin/bash
# vm.sh -- runs one command that needs Wine inside an x86-64 Debian guest under qemu, for kernels that run no 32-bit programs.
#   vm.sh run CMD [ARGS]  boot the guest, run CMD in the current folder, print its output, exit with its status
# The project folder is shared into the guest at the same path, so the built programs
# run in place. The guest is built once (tools/vm-guest.sh) and kept in NOWTUNE_VM_CACHE
# (default /var/cache/nowtune-vm) with a Wine prefix made on it once; every boot
# starts from that image unchanged.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${NOWTUNE_VM_CACHE:-/var/cache/nowtune-vm}
job_dir=$here/build/vm
# Long enough for the slowest command (the whole Wine test run) under software emulation.
time_limit=3600

if [ "${1:-}" != run ] || [ $# -lt 2 ]; then
    sed -n '3p' "$0" | sed 's/^# \?//'
    exit 2
fi
shift
case $here in *[[:space:]]*) echo "vm.sh: the project path must hold no spaces: $here" >&2; exit 2 ;; esac

# A guest built by another recipe is built again.
recipe=$(sha256sum "$here/tools/vm-guest.sh" | cut -c1-16)
guest=$cache/$recipe
if [ ! -f "$guest/guest.img" ]; then
    echo "vm.sh: building the guest in $guest (a few minutes, once)"
    rm -rf "$cache"/*/ 2>/dev/null
    started=$SECONDS
    "$here/tools/vm-guest.sh" "$guest" || { echo "vm.sh: building the guest failed" >&2; exit 1; }
    echo "vm.sh: guest built in $((SECONDS - started)) s"
fi

# Wine's prefix goes on the guest's own disk: on the share Wine runs several times
# slower. Making it takes most of a short command's time, so it is made once, on the
# image itself, and every later boot starts with it. It is made again when wine.sh,
# which makes it, changes.
prefix=/root/wineprefix
prefix_stamp=$guest/prefix-$(sha256sum "$here/tools/wine.sh" | cut -c1-16)
mkdir -p "$job_dir"

# write_job DIR CMD [ARGS]: the job the guest runs, CMD in DIR with the project's settings.
write_job() {
    local dir=$1
    shift
    {
        echo "export HOME=/root LANG=C.UTF-8 TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin"
        echo "export NOWTUNE_WINEPREFIX=$prefix"
        env | grep -E '^NOWTUNE_[A-Z_]+=' | grep -v -E '^NOWTUNE_(WINE_VM|WINEPREFIX)=' | while IFS= read -r line; do
            printf 'export %q\n' "$line"
        done
        printf 'cd %q || exit 1\n' "$dir"
        printf 'exec'
        printf ' %q' "$@"
        echo
    } >"$job_dir/job"
}

# boot DISK: boots the guest on the job with DISK's qemu drive options. Prints the
# job's output and returns its status.
boot() {
    rm -f "$job_dir/status" "$job_dir/console.log"
    # Hardware virtualisation where this host offers it. Otherwise software
    # emulation with -cpu max,-smap: with SMAP, qemu's software emulation faults on
    # the return to 32-bit user code and the guest kernel kills every Wine process.
    # norandmaps: fixed addresses let qemu reuse translated code across short Wine processes.
    local accel=(-accel tcg,thread=multi -cpu max,-smap)
    [ -r /dev/kvm ] && [ -w /dev/kvm ] && accel=(-accel kvm -cpu host)
    timeout "$time_limit" qemu-system-x86_64 \
        "${accel[@]}" -smp 2 -m 2048 \
        -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
        -append "root=/dev/vda rw console=ttyS0 quiet panic=1 init=/sbin/nowtune-init norandmaps nowtune.share=$here" \
        -drive "$1,format=raw,if=virtio" \
        -virtfs "local,path=$here,mount_tag=project,security_model=passthrough" \
        -serial "file:$job_dir/console.log" \
        -device virtio-serial-pci -chardev stdio,id=job,signal=off -device virtconsole,chardev=job \
        -nodefaults -display none -no-reboot </dev/null
    qemu_rc=$?
    if [ ! -f "$job_dir/status" ]; then
        echo "vm.sh: the guest ended without the command's status (qemu exit $qemu_rc); its console:" >&2
        tail -20 "$job_dir/console.log" >&2
        return 1
    fi
    return "$(cat "$job_dir/status")"
}

if [ ! -f "$prefix_stamp" ]; then
    echo "vm.sh: making Wine's prefix on the guest's disk (a minute or two, once)"
    started=$SECONDS
    # Made on a copy that replaces the image only when it is whole, so the guest's
    # flushes need not reach the disk (cache=unsafe): Wine writes thousands of
    # files. The root is left read-only, so no later boot replays the journal.
    # The guest's sh reads the job: one line, no bash quoting.
    cp --sparse=always "$guest/guest.img" "$guest/guest.img.new"
    write_job "$here" sh -c "unset NOWTUNE_GRAPHICS NOWTUNE_LOCALE; rm -rf $prefix $prefix.log && tools/wine.sh start && tools/wine.sh stop && sync && mount -o remount,ro /"
    if ! boot "file=$guest/guest.img.new,cache=unsafe" >/dev/null; then
        rm -f "$guest/guest.img.new"
        echo "vm.sh: making Wine's prefix failed" >&2
        exit 1
    fi
    mv "$guest/guest.img.new" "$guest/guest.img"
    rm -f "$guest"/prefix-*
    touch "$prefix_stamp"
    echo "vm.sh: prefix made in $((SECONDS - started)) s"
fi

started=$SECONDS
write_job "$PWD" "$@"
# snapshot=on: every write of the command goes to a throw-away overlay.
boot "file=$guest/guest.img,snapshot=on"
rc=$?
echo "vm.sh: the guest ran for $((SECONDS - started)) s"
exit $rc
