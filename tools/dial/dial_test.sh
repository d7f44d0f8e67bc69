#!/usr/bin/env bash
# taktomat-dial over a stand-in pppd: what it prints and how it exits.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/peers"
cat >"$work/pppd" <<'STAND'
#!/bin/sh
. "$2"
STAND
chmod +x "$work/pppd"
cat >"$work/peers/isp" <<'PEER'
echo 'Serial connection established.'
echo 'Connect: ppp0 <--> /dev/ttyS0'
echo 'CHAP authentication succeeded'
echo 'local  IP address 10.9.0.2'
exec sleep 2
PEER
printf "echo 'Failed (BUSY)'\nexit 8\n" >"$work/peers/busy"
touch "$work/peers/.hidden"
export TAKTOMAT_TEST_PPPD=$work/pppd
fail() { echo "FAIL: $*"; exit 1; }

[ "$("$tool" --peers "$work/peers" list)" = "$(printf 'busy\nisp')" ] || fail list
out=$("$tool" --peers "$work/peers" dial isp) || fail "dial isp exited $?"
# What a dial that gets through prints, in order.
expected=$(cat "$(dirname "$0")/dial_states.txt")
[ "$out" = "$expected" ] || fail "dial isp printed: $out"
if out=$("$tool" --peers "$work/peers" dial busy); then fail "dial busy succeeded"; fi
[ "$(echo "$out" | tail -n1)" = "Linia jest zajęta." ] || fail "dial busy printed: $out"
if "$tool" --peers "$work/peers" dial nosuch 2>"$work/err"; then fail "dial nosuch succeeded"; fi
grep -q "Nie znaleziono wpisu" "$work/err" || fail "dial nosuch said: $(cat "$work/err")"
if "$tool" frobnicate 2>/dev/null; then fail "a bad command succeeded"; fi

# Peer files this user may not read (as Debian keeps them: root and the group dip). Root reads
# everything, so then the checks run as nobody.
chmod 755 "$work"
mkdir "$work/locked"
printf 'exit 0\n' >"$work/locked/isp"
as_user=()
readers=dip
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  chgrp dip "$work/locked" "$work/locked/isp"
  chmod 640 "$work/locked/isp"
  chmod 750 "$work/locked"
else
  readers=""  # a user may shut only itself out, with no group left that may read
  chmod 000 "$work/locked/isp" "$work/locked"
fi
if "${as_user[@]}" "$tool" --peers "$work/locked" list >"$work/out" 2>"$work/err"; then
  fail "list of an unreadable folder succeeded"
fi
grep -q "cannot read the peer files in $work/locked (the folder itself)" "$work/err" ||
  fail "list of an unreadable folder said: $(cat "$work/err")"
[ -z "$readers" ] || grep -q "only the group $readers may; join it" "$work/err" ||
  fail "list named no group: $(cat "$work/err")"
chmod 755 "$work/locked"
if "${as_user[@]}" "$tool" --peers "$work/locked" list >"$work/out" 2>"$work/err"; then
  fail "list of unreadable peer files succeeded"
fi
grep -q "(isp)" "$work/err" || fail "list of unreadable peer files said: $(cat "$work/err")"
if "${as_user[@]}" "$tool" --peers "$work/locked" dial isp 2>"$work/err"; then
  fail "dial of an unreadable entry succeeded"
fi
grep -q "Nie można odczytać pliku wpisu" "$work/err" ||
  fail "dial of an unreadable entry said: $(cat "$work/err")"
echo "taktomat-dial: all cases passed"
