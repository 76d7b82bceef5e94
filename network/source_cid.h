#pragma once
// The sACN source CID of this user on this machine.
#include "e131_packet.h"

namespace selvane::net {

// A version 5 UUID of the machine's MachineGuid
// (HKLM\SOFTWARE\Microsoft\Cryptography) and the user's SID, so it is the same
// for the same user and machine across runs and restarts, and differs between
// users and machines. Where either is missing, the computer or user name stands in.
Cid SourceCid();

}  // namespace selvane::net
