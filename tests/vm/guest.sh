# shellcheck shell=bash
# Runs inside the test machine (see run_vm.sh), as root, with the build tree $1 shared from the
# host. A modem answers on the far end of a pty pair and hands the line to a far pppd that
# requires CHAP; each case dials through the program's own layer and prints what it saw.
# Prints "PASS name" or "FAIL name" per case and "VM-DONE" at the end.
build=$1
dial=$build/tools/dial/taktomat-dial
modem=$build/tests/vm/vm_modem
program=$build/tests/vm/vm_program
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
modprobe ppp_generic && modprobe ppp_async || echo "guest: no ppp modules"

# pppd's configuration on a tmpfs of its own: the host's is shared read-only.
mount -t tmpfs etcppp /etc/ppp
mkdir -p /etc/ppp/peers
printf 'lock\nmodem\ncrtscts\nauth\n' >/etc/ppp/options
printf 'taktomat far right *\n' >/etc/ppp/chap-secrets
chmod 600 /etc/ppp/chap-secrets
cat >/etc/ppp/isp.chat <<'CHAT'
ABORT BUSY
ABORT 'NO CARRIER'
ABORT 'NO DIALTONE'
ABORT 'NO ANSWER'
'' ATZ
OK ATDT5550100
CONNECT ''
CHAT
peer() {
  cat <<PEER
/tmp/ttyModem
115200
connect "/usr/sbin/chat -s -v -f /etc/ppp/isp.chat"
noauth
user taktomat
remotename far
noipdefault
persist
PEER
}
peer >/etc/ppp/peers/isp
{ peer; echo "password wrong"; } >/etc/ppp/peers/wrongpw

# A line with a modem that gives ANSWER to the dial command and, after CONNECT, a far pppd in
# a namespace of its own (its own interfaces and /run, so that its link is not ours).
line() {
  rm -f /tmp/ttyModem /tmp/ttyLine
  socat PTY,link=/tmp/ttyModem,raw,echo=0 PTY,link=/tmp/ttyLine,raw,echo=0 &
  SOCAT=$!
  for _ in $(seq 50); do [ -e /tmp/ttyLine ] && break; sleep 0.1; done
  unshare -m -n sh -c "mount -t tmpfs r /run && mkdir /run/lock && exec $modem /tmp/ttyLine '$1' \
    /usr/sbin/pppd nodetach require-chap name far local noipdefault 10.9.0.1:10.9.0.2" \
    >/tmp/far.log 2>&1 &
  FAR=$!
  echo $FAR >/tmp/far.pid
}
endline() {
  kill $FAR $SOCAT 2>/dev/null
  wait $FAR $SOCAT 2>/dev/null
  # Our side must be gone too before the next case.
  for _ in $(seq 50); do [ -z "$("$dial" status)" ] && break; sleep 0.1; done
  busybox pkill -x pppd 2>/dev/null
  sleep 0.2
}
result() {  # name, condition status
  if [ "$2" = 0 ]; then echo "PASS $1"; else echo "FAIL $1"; fi
}
show() { sed 's/^/    /'; }

start=$(date +%s)
echo "== case: dial"
line CONNECT
out=$("$dial" dial isp); rc=$?
echo "$out" | show
expected=$(cat "$(dirname "$0")/../../tools/dial/dial_states.txt")
ok=1; [ $rc = 0 ] && [ "$out" = "$expected" ] && ok=0
busybox ip -4 -o addr show dev ppp0 2>&1 | show
busybox ip -4 -o addr show dev ppp0 2>/dev/null | grep -q 'inet 10.9.0.2' || ok=1
result "dial: state texts in order, ppp0 up with 10.9.0.2" $ok

echo "== case: probe on-line"
out=$("$dial" online); rc=$?
echo "$out" | show
ok=1; [ $rc = 0 ] && [ "$out" = "on-line 10.9.0.2" ] && ok=0
result "probe on-line with the link" $ok

echo "== case: status lists the link left up"
out=$("$dial" status); echo "$out" | show
ok=1; [ "$out" = "$(printf 'isp\tppp0')" ] && ok=0
result "status: isp<TAB>ppp0" $ok

echo "== case: hang-up"
"$dial" hangup isp; rc=$?
out=$("$dial" online); rc2=$?
echo "$out" | show
ok=1; [ $rc = 0 ] && [ $rc2 = 1 ] && [ "$out" = "off-line" ] && [ -z "$("$dial" status)" ] && ok=0
result "hang-up: link gone, probe off-line" $ok
endline

for answer in BUSY "NO CARRIER" "NO DIALTONE" "NO ANSWER"; do
  case "$answer" in
    BUSY) text="Linia jest zajęta." ;;
    "NO CARRIER") text="Brak nośnej." ;;
    "NO DIALTONE") text="Brak sygnału wybierania." ;;
    "NO ANSWER") text="Brak odpowiedzi." ;;
  esac
  echo "== case: $answer"
  line "$answer"
  out=$("$dial" dial isp); rc=$?
  echo "$out" | show
  ok=1; [ $rc = 1 ] && [ "$(echo "$out" | tail -n1)" = "$text" ] && ok=0
  result "$answer: $text" $ok
  endline
done

echo "== case: wrong password"
line CONNECT
out=$("$dial" dial wrongpw); rc=$?
echo "$out" | show
ok=1
[ $rc = 1 ] && [ "$(echo "$out" | tail -n1)" = "Odmowa dostępu: nieprawidłowa nazwa użytkownika lub hasło." ] && ok=0
result "wrong password: access denied" $ok
endline

echo "== case: the whole program, dial from the connect window, meter, disconnect"
line CONNECT
rm -rf /tmp/prog1 && mkdir -p /tmp/prog1
"$program" dial /tmp/prog1 2>&1 | show
rc=${PIPESTATUS[0]}
result "program: dial, meter, hang-up, one record" "$rc"
endline

echo "== case: the far end hangs up"
line CONNECT
rm -rf /tmp/prog2 && mkdir -p /tmp/prog2
"$program" lost /tmp/prog2 /tmp/far.pid 2>&1 | show
rc=${PIPESTATUS[0]}
out=$("$dial" status)
ok=1; [ "$rc" = 0 ] && [ -z "$out" ] && ok=0
result "far end hung up: off-line, one record, no link left" $ok
endline

echo "== case: a link started outside, hung up by the disconnect command"
line CONNECT
pppd call isp nodetach nopersist >/tmp/outside.log 2>&1 &
for _ in $(seq 100); do [ -e /run/ppp0.pid ] && busybox ip -4 -o addr show dev ppp0 2>/dev/null | grep -q inet && break; sleep 0.2; done
out=$("$dial" status); echo "$out" | show
ok=1; [ "$out" = "$(printf 'isp\tppp0')" ] && ok=0
result "outside link listed: isp<TAB>ppp0" $ok
rm -rf /tmp/prog3 && mkdir -p /tmp/prog3
"$program" disconnect /tmp/prog3 2>&1 | show
rc=${PIPESTATUS[0]}
ok=1; [ "$rc" = 0 ] && [ -z "$("$dial" status)" ] && ok=0
result "outside link hung up by the disconnect command" $ok
endline

echo "VM-DONE in $(( $(date +%s) - start )) s"
