# Sourced after receiver.sh: Wine inside the receiver's namespace. Wine's
# sockets live in the wineserver, so a wineserver of its own, started inside
# the namespace, serves a private prefix that nothing outside uses.
#   ns_wine_start <build dir>    creates the prefix once, starts its wineserver in the namespace
#   ns_wine <args...>            runs a Wine program in the namespace
#   ns_wine_stop                 ends that wineserver and the prefix's programs
NS_WINESERVER_PID=

ns_wine_start() {
  local build
  build=$(cd "$1" && pwd)
  export WINEPREFIX="$build/network-wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
  command -v wine >/dev/null || receiver_fail "wine is missing: run tools/install-deps.sh as root"
  # A server of this prefix left outside the namespace would take our sockets there.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/.selvane-ready" ]; then
    echo "[network] creating the private Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >"$build/network-wineprefix.log" 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >>"$build/network-wineprefix.log" 2>&1
    wineserver -w </dev/null
    touch "$WINEPREFIX/.selvane-ready"
  fi
  ip netns exec "$RECEIVER_NS" setsid wineserver -f -p </dev/null >"$RECEIVER_DIR/wineserver.log" 2>&1 &
  NS_WINESERVER_PID=$!
  trap 'ns_wine_stop; receiver_stop' EXIT
  sleep 0.3
  kill -0 "$NS_WINESERVER_PID" 2>/dev/null || receiver_fail "the wineserver did not start in the namespace"
}

ns_wine() { ip netns exec "$RECEIVER_NS" wine "$@"; }

ns_wine_stop() {
  [ -n "$NS_WINESERVER_PID" ] || return 0
  ip netns exec "$RECEIVER_NS" wineserver -k </dev/null >/dev/null 2>&1 || true
  local i
  for i in $(seq 50); do kill -0 "$NS_WINESERVER_PID" 2>/dev/null || break; sleep 0.1; done
  kill "$NS_WINESERVER_PID" 2>/dev/null || true
  NS_WINESERVER_PID=
}

# The Windows path of a Unix path (drive Z:), without starting a Wine program.
ns_wine_path() { local p=$1; echo "Z:${p//\//\\}"; }
