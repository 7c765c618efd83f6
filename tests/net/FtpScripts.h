// Scripted-server pieces shared by the FTP tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "net/IdFTP.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris {

// USER anna / PASS secret / TYPE I / SYST, answered as a typical server does.
inline void ScriptLogin(ScriptedPeer& peer) {
    peer.ExpectLine("USER anna")
        .Send("331 Password required for anna\r\n")
        .ExpectLine("PASS secret")
        .Send("230 User anna logged in\r\n")
        .ExpectLine("TYPE I")
        .Send("200 Type set to I\r\n")
        .ExpectLine("SYST")
        .Send("215 UNIX Type: L8\r\n");
}

// The port of a "PORT h1,h2,h3,h4,p1,p2" line (0 when the line is not one).
inline int PortOfPortLine(const std::string& line) {
    std::smatch match;
    static const std::regex pattern(R"(PORT \d+,\d+,\d+,\d+,(\d+),(\d+))");
    if (!std::regex_match(line, match, pattern)) {
        return 0;
    }
    return std::stoi(match[1]) * 256 + std::stoi(match[2]);
}

// The server's side of an active upload up to the open data connection: PORT, the upload
// command answered with 150, and the connection back to the announced port, which becomes the
// current one. Returns where the announced port will be recorded.
inline std::shared_ptr<int> ScriptDataConnectionOpened(ScriptedPeer& peer,
                                                       const std::string& command) {
    auto port = std::make_shared<int>(0);
    peer.ExpectLineMatching(R"(PORT 127,0,0,1,\d+,\d+)")
        .Do([port](ScriptedPeer& p) { *port = PortOfPortLine(p.LastLine()); })
        .Send("200 PORT command successful\r\n")
        .ExpectLine(command)
        .Send("150 Opening BINARY mode data connection\r\n")
        .ConnectBack([port](const std::string&) { return *port; });
    return port;
}

// An active upload as the server sees it: PORT, the upload command, the data connection back
// to the announced port read to its end, then the final replies on the control connection.
// Returns where the announced port will be recorded.
inline std::shared_ptr<int> ScriptActiveUpload(
    ScriptedPeer& peer, const std::string& command,
    const std::string& finalReplies = "226 Transfer complete.\r\n", int control = 0) {
    auto port = ScriptDataConnectionOpened(peer, command);
    peer.ReadToEof().Close().Use(control).Send(finalReplies);
    return port;
}

// A client that records its status texts, aimed at a scripted peer as anna/secret.
class RecordingFtp : public TIdFTP {
public:
    RecordingFtp() {
        OnStatus = [this](TIdComponent*, TIdStatus, const std::string& text) {
            texts.push_back(text);
        };
    }
    void Aim(const ScriptedPeer& peer) {
        SetHost("127.0.0.1");
        SetPort(peer.Port());
        SetUsername("anna");
        SetPassword("secret");
    }
    std::vector<std::string> texts;
};

// A scripted server that greets and logs anna in, and a client logged in to it by LogIn()
// once the test has added the rest of the script.
class LoggedInFtpTest : public ::testing::Test {
protected:
    LoggedInFtpTest() {
        peer.Accept().Send("220 ready\r\n");
        ScriptLogin(peer);
    }
    void LogIn() {
        peer.Start();
        ftp.Aim(peer);
        ftp.ConnectAndLogin(true, -1);
    }
    ScriptedPeer peer;
    RecordingFtp ftp;
};

}  // namespace velomaris
