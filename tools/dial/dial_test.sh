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
echo "taktomat-dial: all cases passed"
