// A scripted FTP server that logs in anna/secret into "site" and then fails the first upload
// of index.html in one chosen way, playing a second login and upload where a client should
// try again. Kept apart from the scripted peer's header, whose <chrono> the GBK-compiled
// workflow tests cannot include.
#pragma once

#include <memory>
#include <string>

namespace velomaris {

class ScriptedPeer;

class ScriptedFtpFailure {
public:
    enum class TKind {
        DataConnectionReset,  // the data connection is reset, the control one closed
        ReplyOutOfStep,       // PORT is answered by a transfer's 226
        Reply421AndClose,     // STOR gets 421 and the connection closes
        CloseWithoutReply,    // STOR gets no reply, the connection closes
        Refused550,           // STOR is refused: no second login expected
        NewLoginRefused,      // 421 and close, then the second login gets 530
    };

    explicit ScriptedFtpFailure(TKind kind);
    ~ScriptedFtpFailure();
    ScriptedFtpFailure(const ScriptedFtpFailure&) = delete;
    ScriptedFtpFailure& operator=(const ScriptedFtpFailure&) = delete;

    int Port() const;
    std::string What() const;
    // Waits for the end of the script; true when the client did exactly what it expected.
    bool Finish();

private:
    TKind kind_;
    std::unique_ptr<ScriptedPeer> peer_;
};

}  // namespace velomaris
