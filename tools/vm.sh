#!/bin/bash
# vm.sh -- runs one command that needs Wine inside an x86-64 Debian guest under qemu, for kernels that run no 32-bit programs.
#   vm.sh run CMD [ARGS]  boot the guest, run CMD in the current folder, print its output, exit with its status
# The project folder is shared into the guest at the same path, so the built programs
# run in place. The guest is built once (tools/vm-guest.sh) and kept in NOWTUNE_VM_CACHE
# (default /var/cache/nowtune-vm); every boot starts from that image unchanged.
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

# The job: the command with its folder and the project's settings, as the host would run it.
# Wine's prefixes go on the guest's own disk: on the share Wine runs several times slower.
mkdir -p "$job_dir"
rm -f "$job_dir/status" "$job_dir/console.log"
{
    echo "export HOME=/root LANG=C.UTF-8 TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin"
    echo "export NOWTUNE_WINEPREFIX=/root/wineprefix"
    env | grep -E '^NOWTUNE_[A-Z_]+=' | grep -v -E '^NOWTUNE_(WINE_VM|WINEPREFIX)=' | while IFS= read -r line; do
        printf 'export %q\n' "$line"
    done
    printf 'cd %q || exit 1\n' "$PWD"
    printf 'exec'
    printf ' %q' "$@"
    echo
} >"$job_dir/job"

started=$SECONDS
# -cpu max,-smap: with SMAP, qemu's software emulation faults on the return to
# 32-bit user code and the guest kernel kills every Wine process.
# norandmaps: fixed addresses let qemu reuse translated code across short Wine processes.
timeout "$time_limit" qemu-system-x86_64 \
    -accel tcg,thread=multi -smp 2 -cpu max,-smap -m 2048 \
    -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet panic=1 init=/sbin/nowtune-init norandmaps nowtune.share=$here" \
    -drive "file=$guest/guest.img,format=raw,if=virtio,snapshot=on" \
    -virtfs "local,path=$here,mount_tag=project,security_model=passthrough" \
    -serial "file:$job_dir/console.log" \
    -device virtio-serial-pci -chardev stdio,id=job,signal=off -device virtconsole,chardev=job \
    -nodefaults -display none -no-reboot </dev/null
qemu_rc=$?
echo "vm.sh: the guest ran for $((SECONDS - started)) s"
if [ ! -f "$job_dir/status" ]; then
    echo "vm.sh: the guest ended without the command's status (qemu exit $qemu_rc); its console:" >&2
    tail -20 "$job_dir/console.log" >&2
    exit 1
fi
exit "$(cat "$job_dir/status")"
