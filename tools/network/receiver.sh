# Sourced: a real DMX receiver, the Open Lighting Architecture daemon, in a
# private network namespace made for one run. The namespace has only `lo` and
# a bridge with no ports (OLA's E1.31 plug-in needs one non-loopback
# interface); IPv6 is off, and an nftables guard drops and counts everything
# routed to any interface other than `lo`.
#   namespace_start <work dir> <name>  makes the namespace alone (loopback, the bridge, the guard)
#   receiver_start <work dir> <name>   makes the namespace and starts olad
#   receiver_stop                      ends what receiver_start started (also on EXIT)
#   receiver_exec <command...>         runs a command inside the namespace
#   receiver_levels <universe>         the 512 levels olad holds, one line, blank-separated
#   recorder_start <file> <universe>   logs every frame olad receives (ola_recorder's show format)
#   recorder_stop                      ends the recorder; the file is then complete
#   guard_udp_dropped                  UDP packets that tried to leave loopback
# OLA universes: E1.31 universes 1 and 2 are OLA universes 1 and 2; Art-Net
# port-addresses 3 and 4 (OLA maps Art-Net universe = OLA universe % 16) are 3 and 4.

RECEIVER_NS= RECEIVER_OLAD_PID= RECEIVER_DIR=

receiver_fail() { echo "FAIL: $*" >&2; exit 1; }

receiver_exec() { ip netns exec "$RECEIVER_NS" "$@"; }

receiver_need_tools() {
  [ "$(id -u)" -eq 0 ] || receiver_fail "the network tests make a network namespace, which needs root (run tools/test.sh as root)"
  local t
  for t in ip nft olad ola_recorder setpriv curl; do
    command -v "$t" >/dev/null || receiver_fail "$t is missing: run tools/install-deps.sh as root (packages ola, nftables, iproute2, curl)"
  done
  id olad >/dev/null 2>&1 || receiver_fail "there is no user olad: the ola package is not installed properly"
}

# Writes olad's configuration: E1.31 and Art-Net on loopback only, every other plug-in off.
receiver_write_config() {
  local conf=$1
  mkdir -p "$conf"
  local p
  for p in dummy espnet ftdidmx gpio karate kinet milinst opendmx openpixelcontrol osc pathport renard sandnet \
           shownet spi stageprofi uartdmx usbdmx usbserial; do
    echo "enabled = false" >"$conf/ola-$p.conf"
  done
  cat >"$conf/ola-e131.conf" <<'CONF'
cid = 5e1a7a4e-0000-4000-8000-00000000e131
draft_discovery = false
dscp = 0
enabled = true
ignore_preview = true
input_ports = 4
ip = 127.0.0.1
output_ports = 0
prepend_hostname = false
revision = 0.46
CONF
  cat >"$conf/ola-artnet.conf" <<'CONF'
always_broadcast = false
enabled = true
ip = 127.0.0.1
long_name = Selvane test receiver
net = 0
output_ports = 0
short_name = Selvane test
subnet = 0
use_limited_broadcast = false
use_loopback = true
CONF
  # E1.31 universes 1 and 2 and Art-Net port-addresses 3 and 4 (Net 0, Sub-Net 0),
  # each into the OLA universe of the same number.
  cat >"$conf/ola-port.conf" <<'CONF'
11-1-I-0 = 1
11-1-I-1 = 2
2-1-I-0 = 3
2-1-I-1 = 4
CONF
  chown -R olad "$conf"
}

namespace_start() {
  RECEIVER_DIR=$1
  receiver_need_tools
  RECEIVER_NS="selvane-$2-$$"
  trap receiver_stop EXIT
  ip netns add "$RECEIVER_NS" 2>"$RECEIVER_DIR/netns.err" ||
    receiver_fail "cannot make the network namespace $RECEIVER_NS: $(cat "$RECEIVER_DIR/netns.err") (the tests need root and a kernel with network namespaces)"
  receiver_exec sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 ||
    receiver_fail "cannot turn IPv6 off in the namespace"
  receiver_exec ip link set lo up
  receiver_exec ip link add sink0 type bridge || receiver_fail "cannot add the bridge sink0 in the namespace"
  receiver_exec ip addr add 198.51.100.1/32 dev sink0
  receiver_exec ip link set sink0 up
  receiver_exec nft -f - <<'NFT' || receiver_fail "cannot install the nftables guard"
table inet selvane_guard {
  chain leaving {
    type filter hook output priority 0; policy accept;
    oifname != "lo" meta l4proto udp counter drop
    oifname != "lo" counter drop
  }
}
NFT
}

receiver_start() {
  namespace_start "$@"
  receiver_write_config "$RECEIVER_DIR/ola"
  # Started directly (not through a function), so that $! is olad's own PID.
  ip netns exec "$RECEIVER_NS" setpriv --reuid=olad --regid=nogroup --clear-groups \
    olad -c "$RECEIVER_DIR/ola" -l 3 --no-register-with-dns-sd >"$RECEIVER_DIR/olad.log" 2>&1 &
  RECEIVER_OLAD_PID=$!
  local i
  for i in $(seq 50); do
    receiver_exec curl -sf -o /dev/null http://127.0.0.1:9090/get_dmx?u=1 && break
    kill -0 "$RECEIVER_OLAD_PID" 2>/dev/null || receiver_fail "olad ended at start: $(tail -3 "$RECEIVER_DIR/olad.log")"
    sleep 0.2
  done
  [ "$i" -lt 50 ] || receiver_fail "olad did not answer within 10 s"
}

# Empty before olad has received anything for the universe; fails if olad does not answer.
receiver_levels() {
  local json
  json=$(receiver_exec curl -sf "http://127.0.0.1:9090/get_dmx?u=$1") || return 1
  tr -d ' \n' <<<"$json" | sed -n 's/.*"dmx":\[\([0-9,]*\)\].*/\1/p' | tr ',' ' '
}

RECORDER_PID=
recorder_start() {
  ip netns exec "$RECEIVER_NS" ola_recorder --record "$1" --universes "$2" >"$RECEIVER_DIR/recorder.log" 2>&1 &
  RECORDER_PID=$!
  sleep 0.5
  kill -0 "$RECORDER_PID" 2>/dev/null || receiver_fail "ola_recorder ended at start: $(tail -3 "$RECEIVER_DIR/recorder.log")"
}

# SIGTERM: a background job of a script ignores SIGINT.
recorder_stop() {
  [ -n "$RECORDER_PID" ] || return 0
  kill -TERM "$RECORDER_PID" 2>/dev/null || true
  wait "$RECORDER_PID" 2>/dev/null || true
  RECORDER_PID=
}

guard_udp_dropped() {
  receiver_exec nft list chain inet selvane_guard leaving |
    sed -n 's/.*meta l4proto udp counter packets \([0-9]*\).*/\1/p'
}

receiver_stop() {
  recorder_stop
  if [ -n "$RECEIVER_OLAD_PID" ] && kill -0 "$RECEIVER_OLAD_PID" 2>/dev/null; then
    kill -TERM "$RECEIVER_OLAD_PID"
    local i
    for i in $(seq 40); do kill -0 "$RECEIVER_OLAD_PID" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$RECEIVER_OLAD_PID" 2>/dev/null || true
  fi
  RECEIVER_OLAD_PID=
  if [ -n "$RECEIVER_NS" ]; then
    # Whatever a test started in the namespace has been ended by it by now; anything left is ours.
    local left
    left=$(ip netns pids "$RECEIVER_NS" 2>/dev/null || true)
    [ -z "$left" ] || kill -KILL $left 2>/dev/null || true
    ip netns del "$RECEIVER_NS" 2>/dev/null || true
  fi
  RECEIVER_NS=
}
