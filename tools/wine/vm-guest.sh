#!/bin/bash
# vm-guest.sh -- builds the x86-64 Debian 12 guest in which Wine runs where this host cannot run it.
#   vm-guest.sh DIR   writes DIR/guest.img (raw ext4), DIR/vmlinuz and DIR/initrd.img; needs root,
#                     debootstrap and e2fsprogs, and nothing from the network but Debian's packages
# The guest boots straight into /sbin/nowtune-init, which mounts the project folder
# (shared by vm.sh at the same path) and runs the job vm.sh left there. vm.sh runs
# this script in mount and process namespaces of its own.
set -eu
out=${1:?usage: vm-guest.sh DIR}
suite=bookworm
# x86-64 on any host: the guest runs under qemu-system-x86_64.
arch=amd64
# The host's own Debian mirror, as its apt names it (what apt would fetch, read
# without fetching anything): the guest comes from where the host's packages come from.
host_codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
mirror=$(apt-get update --print-uris 2>/dev/null |
    sed -n "s,^'\(.*\)/dists/\($suite\|${host_codename:-$suite}\)/InRelease' .*,\1,p" | head -1)
[ -n "$mirror" ] || {
    echo "vm-guest: apt names no Debian mirror for $suite here; add one to /etc/apt/sources.list.d" >&2
    exit 1
}
# What the Wine tests, the demo, the benchmark and the screenshot use in the guest;
# ctest comes with cmake. The initrd's default module set holds the virtio disk and ext4.
packages=(wine wine32:i386 locales cmake xvfb xauth imagemagick fonts-wine kmod
    linux-image-amd64 initramfs-tools)
# A fetch that fails on the way is tried again.
fetch_tries=3

mkdir -p "$out"
work=$(mktemp -d "$out/build.XXXXXX")
mounted=()
# --one-file-system: whatever is still mounted inside is left alone, never emptied.
cleanup() {
    local m
    for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null || true; done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@"; }

echo "vm-guest: debootstrap $suite ($arch) from $mirror"
for try in $(seq $fetch_tries); do
    root=$work/root$try
    debootstrap --variant=minbase --arch=$arch "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 && break
    [ "$try" -lt $fetch_tries ] || { tail -20 "$work/debootstrap.log" >&2; exit 1; }
    echo "vm-guest: debootstrap failed; trying again"
done
for m in proc sys dev; do
    mount --bind "/$m" "$root/$m"
    mounted=("$root/$m" "${mounted[@]}")
done

# Main and updates only: each carries amd64 and i386 at the same versions, as
# Wine's two halves need, whereas the security suite can be caught with one
# architecture's index ahead of the other's.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
EOF
echo "Acquire::Retries \"$fetch_tries\";" >"$root/etc/apt/apt.conf.d/80retries"
# Nothing in a guest that lives for one command needs documentation or recommends.
cat >"$root/etc/dpkg/dpkg.cfg.d/01-nodoc" <<'EOF'
path-exclude=/usr/share/doc/*
path-exclude=/usr/share/man/*
path-exclude=/usr/share/info/*
EOF
printf 'ru_RU.UTF-8 UTF-8\nen_US.UTF-8 UTF-8\n' >"$root/etc/locale.gen"

echo "vm-guest: installing ${packages[*]}"
in_root dpkg --add-architecture i386
in_root apt-get update -q >"$work/apt.log" 2>&1 ||
    echo "vm-guest: $(grep -m1 '^E: ' "$work/apt.log"); going on with the package lists there are"
in_root apt-get install -y -q --no-install-recommends "${packages[@]}" >>"$work/apt.log" 2>&1 ||
    { tail -20 "$work/apt.log" >&2; exit 1; }
in_root locale-gen >/dev/null
in_root apt-get clean

# The guest's whole init: no service manager, one job, then power off.
cat >"$root/sbin/nowtune-init" <<'EOF'
#!/bin/sh
# nowtune-init -- the guest's first process: mounts the shared project folder, runs its job, powers off.
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/shm /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /tmp
mountpoint -q /run || mount -t tmpfs tmpfs /run
share=
run=
set -f
for arg in $(cat /proc/cmdline); do
    case $arg in
    nowtune.share=*) share=${arg#nowtune.share=} ;;
    nowtune.run=*) run=${arg#nowtune.run=} ;;
    esac
done
set +f
# The job's output goes to the host over a virtio console, apart from the kernel's
# messages on the serial one; raw, or each line end would arrive as CR LF.
modprobe virtio_console
modprobe 9pnet_virtio
modprobe 9p
out=/dev/hvc0
[ -c $out ] || out=/dev/console
stty -F $out raw -echo 2>/dev/null
mkdir -p "$share"
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=mmap project "$share" &&
    [ -n "$run" ] && [ -f "$share/$run/job" ]; then
    : >"$share/$run/started"
    sh "$share/$run/job" </dev/null >$out 2>&1
    echo $? >"$share/$run/status"
else
    echo "nowtune-init: no job in $share/$run" >$out
fi
sync
echo o >/proc/sysrq-trigger
sleep 60
EOF
chmod 755 "$root/sbin/nowtune-init"
echo nowtune-guest >"$root/etc/hostname"

cp -L "$root/vmlinuz" "$work/vmlinuz"
cp -L "$root/initrd.img" "$work/initrd.img"
for m in "${mounted[@]}"; do umount -l "$m"; done
mounted=()

# Room for the Wine prefixes the guest makes on its own disk; the image is sparse.
size_mb=$(( $(du -sm "$root" | cut -f1) + 3072 ))
echo "vm-guest: making a ${size_mb} MB disk image"
mke2fs -q -t ext4 -L nowtune -d "$root" "$work/guest.img" "${size_mb}M" >/dev/null
mv "$work/vmlinuz" "$work/initrd.img" "$work/guest.img" "$out/"
