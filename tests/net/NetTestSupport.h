// Helpers shared by the network tests: a client connected to a scripted peer, and an IO
// handler that counts socket calls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "net/IdIOHandlerSocket.h"
#include "net/IdTCPClient.h"
#include "tests/support/FileBytes.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris {

// Counts the receive and send calls that reach the socket.
class CountingIOHandler : public TIdIOHandlerSocket {
public:
    int ReceiveData(void* buffer, int count) override {
        ++receives;
        return TIdIOHandlerSocket::ReceiveData(buffer, count);
    }
    int SendData(const void* buffer, int count) override {
        ++sends;
        return TIdIOHandlerSocket::SendData(buffer, count);
    }
    int receives = 0;
    int sends = 0;
};

// A client that records its status texts and disconnect notifications.
class RecordingClient : public TIdTCPClient {
public:
    RecordingClient() {
        OnStatus = [this](TIdComponent*, TIdStatus status, const std::string&) {
            statuses.push_back(status);
        };
        OnDisconnected = [this](TIdComponent*) { ++disconnects; };
    }
    void ConnectTo(const ScriptedPeer& peer) {
        SetHost("127.0.0.1");
        SetPort(peer.Port());
        OpenConnection();
    }
    std::vector<TIdStatus> statuses;
    int disconnects = 0;
};

using testing::PatternBytes;
using testing::RandomBytes;

}  // namespace velomaris
