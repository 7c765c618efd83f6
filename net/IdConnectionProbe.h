// Whether an idle connection can still carry a command: servers drop idle control connections
// (often after 300 s), sometimes with a 421 reply first, and a transfer that failed half-way
// can leave its final reply unread, which would then answer the next command.
#pragma once

#include "net/IdTCPConnection.h"

namespace velomaris {

// True when the connection is open and the peer has sent nothing since the last reply was
// read: not closed or reset, no unread bytes. Waits at most a millisecond for the socket.
bool IsOpenAndQuiet(TIdTCPConnection& connection);

}  // namespace velomaris
