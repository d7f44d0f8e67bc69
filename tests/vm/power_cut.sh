#!/usr/bin/env bash
# Power cuts under the log's writes. The test machine runs the kill writer over a folder on a
# second disk (an ext4 image written without the host's cache) and is killed at a random moment
# of its start or its writes; then, as after a power cut, e2fsck repairs the image and debugfs
# reads the log and the second place out of it. Every record the writer confirmed (its save had
# returned) must be in the log exactly once, no record twice, every line a whole record, and
# what the log held before the boot untouched. Each boot starts over what the last cut left, so
# the cuts also land in a start's take-back; and a start on the host over a copy of what each
# cut left (the second place included) must add no record twice.
#   power_cut.sh BUILD WRITER [CUTS]
# TT_POWER_CUT_FLUSH=off makes the writer's flushes do nothing: the control run, which must
# lose records.
set -uo pipefail
build=$(cd "$1" && pwd)
writer=$(realpath "$2")
cuts=${3:-10}
here=$(cd "$(dirname "$0")" && pwd)
flush=${TT_POWER_CUT_FLUSH:-on}
export PATH=$PATH:/usr/sbin:/sbin

skip() {
  echo "vm_power_cut: $* (bash scripts/deps.sh installs it)"
  exit 77
}
command -v qemu-system-x86_64 >/dev/null || skip "needs qemu-system-x86_64"
kernel=""
for k in /boot/vmlinuz-*-amd64; do
  [[ $k == *-cloud-* ]] || { [ -r "$k" ] && kernel=$k; }
done
[ -n "$kernel" ] || skip "needs a readable kernel /boot/vmlinuz-*-amd64 (not -cloud-)"
for tool in mkfs.ext4 e2fsck debugfs python3; do
  command -v "$tool" >/dev/null || skip "needs $tool"
done
guest_env=""
if [ "$flush" = off ]; then
  guest_env="ttflush=off ttnoflush=$build/tests/vm/libtt_no_flush.so"
  echo "vm_power_cut: the control run, flushes do nothing"
fi

work=$build/vm/power_cut
rm -rf "$work"
mkdir -p "$work/seed/tt"
# Old records, so that every save writes some 150 KB and a cut can land inside one.
awk 'BEGIN { for (i = 0; i < 5000; i++) printf "1899-12-%02d\t00:05:00\t%d\t0,29\t\r\n", 1 + i % 28, 1 + i % 9 }' \
  >"$work/seed/tt/raport.txt"
img=$work/disk.img
if ! mkfs.ext4 -q -F -d "$work/seed" "$img" 64M >"$work/mkfs.txt" 2>&1; then
  echo "vm_power_cut: mkfs.ext4 failed"; cat "$work/mkfs.txt"; exit 1
fi
cp "$work/seed/tt/raport.txt" "$work/before.txt"

# Waits for a line on the console of the machine $vm: false when the machine ended first or a
# minute and a half went by.
await() {
  for ((wait = 0; wait < 900; wait++)); do
    grep -q "$1" "$console" && return 0
    kill -0 "$vm" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "$1" "$console"
}

start=$(date +%s)
failed=0
lossy=0
declare -A sum=()
per_cut=""
in_start=0
for ((cut = 1; cut <= cuts; cut++)); do
  console=$work/console-$cut.txt
  : >"$console"
  TT_VM_DISK=$img TT_VM_GUEST_ENV=$guest_env \
    "$here/run_vm.sh" "$build/vm" "$here/power_cut_guest.sh" "$writer" >"$console" 2>&1 &
  vm=$!
  booted=$(date +%s%N)
  # One cut in four from the writer's start on, where it takes back what the last cut left in
  # the second place; the others while it writes.
  if ((RANDOM % 4 == 0)); then
    mark='guest: the writer starts'
  else
    mark='^writing'
  fi
  if ! await "$mark"; then
    kill -9 "$vm" 2>/dev/null
    wait "$vm" 2>/dev/null
    echo "FAIL cut $cut: the machine never showed \"$mark\""
    tr -d '\r' <"$console" | tail -n 20
    exit 1
  fi
  booted=$((($(date +%s%N) - booted) / 1000000))
  ms=$((RANDOM % 2000))
  sleep "$((ms / 1000)).$(printf '%03d' $((ms % 1000)))"
  if ! kill -9 "$vm" 2>/dev/null; then
    echo "FAIL cut $cut: the machine ended before the cut"
    tr -d '\r' <"$console" | tail -n 20
    exit 1
  fi
  wait "$vm" 2>/dev/null
  e2fsck -fy "$img" >"$work/fsck-$cut.txt" 2>&1
  fsck=$?
  if [ "$fsck" -ge 4 ]; then
    echo "FAIL cut $cut: e2fsck could not repair the image ($fsck)"
    cat "$work/fsck-$cut.txt"
    exit 1
  fi
  debugfs -R 'cat /tt/raport.txt' "$img" >"$work/after-$cut.txt" 2>/dev/null
  # The next start, on the host over a copy of what the cut left.
  next=$work/next-$cut
  mkdir -m 700 "$next" "$next/unsaved"
  cp "$work/after-$cut.txt" "$next/raport.txt"
  debugfs -R 'cat /tt/unsaved/raport.txt' "$img" >"$next/unsaved/raport.txt" 2>/dev/null
  "$writer" "$next" start >"$work/next-$cut.txt" 2>&1
  figures=$(python3 "$here/power_cut_check.py" "$work/before.txt" "$work/after-$cut.txt" \
    "$console" "$next/raport.txt")
  ok=$?
  if [ -s "$next/unsaved/raport.txt" ] &&
     [ "$(head -c 1 "$next/unsaved/raport.txt" | od -An -tx1)" != " 00" ]; then
    figures="$figures second_place_kept_after_start=yes"
    ok=1
  fi
  # The temporary is there when the cut came between its flush and the rename's.
  debugfs -R 'ls /tt' "$img" 2>/dev/null | grep -q '\.raport\.txt\.tmp' && figures="$figures temporary=1"
  landed="the writes"
  grep -q '^writing' "$console" || landed="the start"
  echo "cut $cut: ${booted} ms to \"${mark#^}\", cut ${ms} ms later, in $landed; e2fsck $fsck; $figures"
  for name in confirmed found lost doubled torn taken_back; do
    [[ $figures =~ (^| )$name=([0-9]+) ]] && sum[$name]=$((${sum[$name]:-0} + BASH_REMATCH[2]))
  done
  [[ $figures =~ confirmed=([0-9]+) ]] && per_cut="$per_cut ${BASH_REMATCH[1]}"
  [ "$landed" = "the start" ] && in_start=$((in_start + 1))
  [[ $figures == *" lost=0 "* ]] || lossy=$((lossy + 1))
  [ "$ok" = 0 ] || failed=$((failed + 1))
  cp "$work/after-$cut.txt" "$work/before.txt"
done
echo "vm_power_cut: $cuts cuts ($in_start in the start) in $(($(date +%s) - start)) s;" \
     "records confirmed per cut:$per_cut (${sum[confirmed]:-0}), found ${sum[found]:-0}," \
     "lost ${sum[lost]:-0}, doubled ${sum[doubled]:-0}, torn lines ${sum[torn]:-0}," \
     "taken back by a start ${sum[taken_back]:-0}; cuts that lost a confirmed record: $lossy," \
     "cuts that failed a check: $failed"
# A run that confirmed nothing checked nothing.
[ "$failed" = 0 ] && [ "${sum[confirmed]:-0}" -gt 0 ]
