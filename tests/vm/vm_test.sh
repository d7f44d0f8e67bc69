#!/usr/bin/env bash
# The real-link tests: boots the test machine with the build tree BUILD and checks that every
# case of guest.sh passed.
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$build/vm
mkdir -p "$work"
# The machine shares this one's root as the user running the test sees it.
if [ ! -r /usr/sbin/pppd ] || [ ! -x /usr/bin/socat ] || ! command -v qemu-system-x86_64 >/dev/null; then
  echo "vm_test: needs pppd (readable: run as root or in group dip), socat and qemu" \
       "(bash scripts/deps.sh installs them)"
  exit 77
fi
start=$(date +%s)
# The guest runs bash for its arrays of exit codes; it is there on the shared root.
timeout 800 "$here/run_vm.sh" "$work" "$here/guest.sh" "$build" 2>&1 | tr -d '\r' |
  sed -n '/== case\|PASS\|FAIL\|^    \|VM-\|guest:/p' | tee "$work/vm.log"
echo "vm_test: the machine ran $(( $(date +%s) - start )) s"
passed=$(grep -c '^PASS' "$work/vm.log")
failed=$(grep -c '^FAIL' "$work/vm.log")
echo "vm_test: $passed passed, $failed failed"
grep -q '^VM-DONE' "$work/vm.log" || { echo "vm_test: the machine did not finish"; exit 1; }
[ "$failed" = 0 ] && [ "$passed" -ge 13 ]
