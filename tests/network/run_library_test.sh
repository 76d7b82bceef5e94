#!/usr/bin/env bash
# The network libraries' Wine test program (its own UDP receiver is in the
# process) inside a private network namespace with loopback alone: the
# libraries' packets never reach the machine's own network, and the test runs
# of other build folders cannot take its ports.
# Usage: run_library_test.sh <build dir> <test program> [GoogleTest options...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
program=$2
shift 2
. "$here/../../tools/network/receiver.sh"
. "$here/../../tools/network/namespace_wine.sh"
work="$build/network-library-test"
rm -rf "$work"
mkdir -p "$work"
namespace_start "$work" library
ns_wine_start "$build"
status=0
(cd "$(dirname "$program")" && ip netns exec "$RECEIVER_NS" timeout 600 wine "$(basename "$program")" "$@" \
  </dev/null >"$work/test.out" 2>&1) || status=$?
tr -d '\r' <"$work/test.out"
[ "$status" -eq 0 ] || receiver_fail "the network library tests ended with status $status"
[ "$(guard_udp_dropped)" = 0 ] || receiver_fail "UDP left loopback"
