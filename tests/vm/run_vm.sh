#!/usr/bin/env bash
# Boots a small virtual machine with real PPP and runs one script in it, with the machine's own
# root shared read-only (so pppd, chat, socat and the build tree are there inside). The script's
# output is the console's; the machine powers off when it ends.
#   run_vm.sh WORKDIR GUEST_SCRIPT [ARG]
# TT_VM_DISK names a raw image attached as the guest's /dev/vda; TT_VM_GUEST_ENV holds more
# NAME=value words for the script's environment (no spaces inside one).
# The machine's own kernel has no PPP, and user-mode Linux and KVM do not work on these
# machines, so this is plain emulation: the guest is kept to a shell and the programs under test.
set -euo pipefail
work=$1
script=$2
arg=${3:-}
kernel=$(printf '%s\n' /boot/vmlinuz-*-amd64 | grep -v -- '-cloud-' | sort -V | tail -n1 || true)
if [ ! -f "$kernel" ]; then
  echo "run_vm.sh: no /boot/vmlinuz-*-amd64 (install linux-image-amd64)" >&2
  exit 1
fi
version=${kernel#/boot/vmlinuz-}
mods=/lib/modules/$version/kernel
mkdir -p "$work"
initrd=$work/initrd-$version.cpio.gz
if [ ! -s "$initrd" ] || [ "$0" -nt "$initrd" ]; then
  root=$(mktemp -d "$work/initrd.XXXXXX")
  mkdir -p "$root/bin" "$root/mods" "$root/proc" "$root/sys" "$root/dev" "$root/newroot"
  cp /bin/busybox "$root/bin/busybox"
  # What mounting the shared root needs, in load order; then what the second disk needs, loaded
  # only when there is one (here, as loading them from the shared root takes seconds).
  list=order
  for m in netfs fscache 9pnet 9p virtio_ring virtio 9pnet_virtio virtio_pci_modern_dev \
           virtio_pci_legacy_dev virtio_pci disk: virtio_blk crc32c_generic crc16 mbcache jbd2 ext4; do
    if [ "$m" = disk: ]; then list=disk; continue; fi
    found=$(find "$mods" -name "$m.ko*" | head -n1)
    [ -n "$found" ] || { echo "run_vm.sh: module $m missing in $mods" >&2; exit 1; }
    case "$found" in
      *.ko.xz) xz -dc "$found" >"$root/mods/$m.ko" ;;
      *.ko.zst) zstd -qdc "$found" >"$root/mods/$m.ko" ;;
      *) cp "$found" "$root/mods/$m.ko" ;;
    esac
    echo "$m" >>"$root/mods/$list"
  done
  cat >"$root/init" <<'INIT'
#!/bin/busybox sh
b=/bin/busybox
$b mount -t proc proc /proc
$b mount -t devtmpfs dev /dev
mods=$($b cat /mods/order)
[ -n "$ttdisk" ] && mods="$mods $($b cat /mods/disk)"
for m in $mods; do $b insmod /mods/$m.ko || echo "init: insmod $m failed"; done
$b mount -t 9p -o trans=virtio,version=9p2000.L,ro hostroot /newroot || echo "init: no shared root"
$b mount -t proc proc /newroot/proc
$b mount -t sysfs sys /newroot/sys
$b mount -t devtmpfs dev /newroot/dev
$b mkdir -p /newroot/dev/pts
$b mount -t devpts devpts /newroot/dev/pts
$b mount -t tmpfs run /newroot/run
$b mkdir -p /hosttmp
$b mount -o bind /newroot/tmp /hosttmp
$b mount -t tmpfs tmp /newroot/tmp
# A tree under the host's /tmp (a clean clone, say) stays in sight under the fresh /tmp.
for p in "$ttscript" "$ttarg"; do
  case "$p" in
    /tmp/?*)
      top=${p#/tmp/}
      top=${top%%/*}
      if [ ! -e "/newroot/tmp/$top" ]; then
        $b mkdir -p "/newroot/tmp/$top"
        $b mount -o bind "/hosttmp/$top" "/newroot/tmp/$top" || echo "init: /tmp/$top not shared"
      fi
      ;;
  esac
done
$b mkdir -p /newroot/run/lock
$b chroot /newroot /bin/sh -c "cd / && exec /bin/bash \"\$ttscript\" \"\$ttarg\"" </dev/console >/dev/console 2>&1
echo "VM-EXIT $?"
$b poweroff -f
INIT
  chmod +x "$root/init"
  (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$initrd.tmp"
  mv "$initrd.tmp" "$initrd"
  rm -rf "$root"
fi
# The disk is written straight to the image, without the host's cache: killing the machine
# then loses only what the guest had not written out, as a power cut does.
disk=()
if [ -n "${TT_VM_DISK:-}" ]; then
  disk=(-drive "file=$TT_VM_DISK,format=raw,if=virtio,cache=none")
  TT_VM_GUEST_ENV="ttdisk=1 ${TT_VM_GUEST_ENV:-}"
fi
# Unknown kernel arguments of the form key=value reach /init as environment variables.
exec qemu-system-x86_64 -accel tcg -m 512 -smp 1 -nographic -no-reboot -net none \
  -kernel "$kernel" -initrd "$initrd" "${disk[@]}" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -append "console=ttyS0 quiet panic=-1 ttscript=$script ttarg=$arg ${TT_VM_GUEST_ENV:-}"
