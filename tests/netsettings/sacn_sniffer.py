#!/usr/bin/env python3
"""Writes one line per E1.31 data packet seen on lo (port 5568):
   <CID hex> <priority> <universe> <distinct slot levels, comma-separated>
A second, passive decoder beside olad; run inside the test's namespace as root."""
import socket
import sys

ETH_P_ALL = 0x0003
PACKET_OUTGOING = 4

out = open(sys.argv[1], "w", buffering=1)
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ALL))
s.bind(("lo", 0))
print("ready", file=out)
while True:
    frame, address = s.recvfrom(65535)
    if address[2] == PACKET_OUTGOING:  # lo shows each packet leaving and arriving
        continue
    ip = frame[14:]
    if len(ip) < 20 or ip[0] >> 4 != 4 or ip[9] != 17:
        continue
    udp = ip[(ip[0] & 15) * 4:]
    if int.from_bytes(udp[2:4], "big") != 5568:
        continue
    p = udp[8:]
    if len(p) != 638:
        continue
    levels = sorted(set(p[126:638]))
    print(p[22:38].hex(), p[108], int.from_bytes(p[113:115], "big"), ",".join(map(str, levels)), file=out)
