# shellcheck shell=bash
# Runs inside the test machine (see run_vm.sh) for power_cut.sh: mounts the second disk and
# runs the kill writer over its folder "tt" until the host cuts the power. The writer's lines
# ("kept|record" once a save has returned) are the console's. With ttflush=off in the
# environment the writer's flushes do nothing: the control run.
writer=$1
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
for _ in $(seq 50); do [ -b /dev/vda ] && break; sleep 0.1; done
mkdir -p /run/disk
mount -t ext4 /dev/vda /run/disk || { echo "guest: the disk does not mount"; exit 1; }
if [ "${ttflush:-}" = off ]; then
  export LD_PRELOAD=${ttnoflush:?}
fi
echo "guest: the writer starts at $(cut -d' ' -f1 /proc/uptime) s"
"$writer" /run/disk/tt confirm
echo "guest: the writer ended ($?)"
