#include "net/IdConnectionProbe.h"

#include "net/IdException.h"

namespace velomaris {

bool IsOpenAndQuiet(TIdTCPConnection& connection) {
    if (!connection.IsConnected() || !connection.PendingInput().Empty()) {
        return false;
    }
    try {
        connection.ProbeForClose(false);
    } catch (const EIdException&) {
        // A reset or another socket error: the connection is gone.
        return false;
    }
    return connection.IsConnected() && connection.PendingInput().Empty();
}

}  // namespace velomaris
