#include "tests/app/ScriptedFtpFailure.h"

#include "tests/net/FtpScripts.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris {

namespace {

void ScriptLoginIntoSite(ScriptedPeer& peer) {
    peer.Accept().Send("220 ready\r\n");
    ScriptLogin(peer);
    peer.ExpectLine("CWD site").Send("250 CWD ok\r\n");
}

void ScriptStorAnswered(ScriptedPeer& peer, const std::string& reply) {
    peer.ExpectLineMatching(R"(PORT 127,0,0,1,\d+,\d+)")
        .Send("200 PORT ok\r\n")
        .ExpectLine("STOR index.html")
        .Send(reply);
}

}  // namespace

ScriptedFtpFailure::ScriptedFtpFailure(TKind kind)
    : kind_(kind), peer_(std::make_unique<ScriptedPeer>()) {
    ScriptedPeer& peer = *peer_;
    ScriptLoginIntoSite(peer);
    // Connections are numbered in order: the first control connection is 0.
    int secondControl = 1;
    switch (kind) {
        case TKind::DataConnectionReset: {
            auto port = std::make_shared<int>(0);
            peer.ExpectLineMatching(R"(PORT 127,0,0,1,\d+,\d+)")
                .Do([port](ScriptedPeer& p) { *port = PortOfPortLine(p.LastLine()); })
                .Send("200 PORT ok\r\n")
                .ExpectLine("STOR index.html")
                .Send("150 Opening data connection\r\n")
                .ConnectBack([port](const std::string&) { return *port; })
                // Only once the client has taken the connection: a connection reset while it
                // still waits in the listener's queue never reaches the client at all.
                .ExpectBytes("<")
                .Reset()
                .Use(0)
                .Close();
            secondControl = 2;
            break;
        }
        case TKind::ReplyOutOfStep:
            peer.ExpectLineMatching(R"(PORT 127,0,0,1,\d+,\d+)").Send("226 Transfer complete.\r\n");
            break;
        case TKind::Reply421AndClose:
        case TKind::NewLoginRefused:
            ScriptStorAnswered(peer, "421 Service not available, closing.\r\n");
            peer.Close();
            break;
        case TKind::CloseWithoutReply:
            ScriptStorAnswered(peer, "");
            peer.Close();
            break;
        case TKind::Refused550:
            ScriptStorAnswered(peer, "550 Permission denied.\r\n");
            break;
    }
    if (kind == TKind::NewLoginRefused) {
        peer.Accept()
            .Send("220 ready\r\n")
            .ExpectLine("USER anna")
            .Send("331 Password required\r\n")
            .ExpectLine("PASS secret")
            .Send("530 Login incorrect.\r\n");
    } else if (kind != TKind::Refused550) {
        ScriptLoginIntoSite(peer);
        ScriptActiveUpload(peer, "STOR index.html", "226 Transfer complete.\r\n", secondControl);
    }
    peer.Start();
}

ScriptedFtpFailure::~ScriptedFtpFailure() = default;

int ScriptedFtpFailure::Port() const {
    return peer_->Port();
}

std::string ScriptedFtpFailure::What() const {
    switch (kind_) {
        case TKind::DataConnectionReset:
            return "data connection reset, control connection closed";
        case TKind::ReplyOutOfStep:
            return "a reply out of step";
        case TKind::Reply421AndClose:
            return "421 to STOR, then closed";
        case TKind::CloseWithoutReply:
            return "closed without a reply";
        case TKind::Refused550:
            return "550 refusal";
        case TKind::NewLoginRefused:
            return "the new login is refused";
    }
    return "?";
}

bool ScriptedFtpFailure::Finish() {
    return peer_->Finish();
}

}  // namespace velomaris
