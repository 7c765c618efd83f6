// The upload on the FTP control connection of the login, kept able to carry it: real servers
// drop an idle control connection (300 s is common), sometimes with a 421 first, and a data
// connection that failed can leave the server's final reply unread, so the next command would
// read the answer to the previous one. The FTP client only reports such failures; here the
// workflows decide to log in again.
#include <sys/stat.h>

#include "app/Unit1.h"
#include "app/WorkflowMessages.h"
#include "net/IdConnectionProbe.h"
#include "net/IdWait.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"

namespace velomaris {

namespace {

// A failure of the connection rather than the server's answer to the upload: closed, reset or
// silent peers, the data connection failing or timing out, a 421 (service closing), or a
// positive reply where a refusal or a transfer result was due, which answers an earlier
// command. A refusal such as 550 (no permission) would only come again after a new login.
bool IsConnectionFailure(const std::exception& failure) {
    if (dynamic_cast<const EIdFTPInvalidArgument*>(&failure) != nullptr) {
        return false;
    }
    if (const auto* reply = dynamic_cast<const EIdProtocolReplyError*>(&failure)) {
        const int code = reply->ReplyCode();
        return code < 400 || code == 421 || code == 425 || code == 426;
    }
    return dynamic_cast<const EIdException*>(&failure) != nullptr;
}

std::string FileSizeText(const std::string& gbkPath) {
    struct stat st {};
    if (::stat(OsPath(gbkPath).c_str(), &st) != 0) {
        return "?";
    }
    return std::to_string(st.st_size);
}

}  // namespace

std::string DescribeNetworkFailure(const std::exception& failure) {
    if (const auto* reply = dynamic_cast<const EIdProtocolReplyError*>(&failure)) {
        return "EIdProtocolReplyError: " + std::to_string(reply->ReplyCode()) + " " +
               reply->Message();
    }
    return DescribeFailure(failure);
}

void TForm1::LogInAgain(const std::string& reason) {
    LogEvent("FTP: logging in again (" + reason + ")");
    try {
        LoginToFtp();
    } catch (const std::exception& e) {
        LogEvent("FTP login again failed: " + DescribeNetworkFailure(e));
        throw;
    }
}

void TForm1::StoreLocalPageOnServer() {
    if (loggedIn_ && !IsOpenAndQuiet(IdFTP1)) {
        LogInAgain("the control connection is closed or the server spoke unasked");
    }
    const Clock& clock = Application().GetClock();
    const std::string remote = Trim(Edit4.Text()) + "/" + RemotePageName();
    auto attempt = [&] {
        const Clock::TimePoint start = clock.Now();
        try {
            IdFTP1.StoreFile(LocalPageFile(), RemotePageName(), false);
        } catch (const std::exception& e) {
            LogEvent("upload of " + remote + " failed: " + DescribeNetworkFailure(e));
            throw;
        }
        LogEvent("uploaded " + FileSizeText(LocalPageFile()) + " bytes to " + remote + " in " +
                 std::to_string(clock.Now() - start) + " ms");
    };
    try {
        attempt();
    } catch (const std::exception& e) {
        if (!loggedIn_ || !IsConnectionFailure(e)) {
            throw;
        }
        LogInAgain("the connection failed during the upload");
        attempt();
    }
}

void TForm1::ReportFailure(TFailureKind kind, const std::string& text) {
    if (ProgramEnding()) {
        LogEvent("failure not shown, the program is ending: " + text);
        return;
    }
    if (failureBoxOpen_) {
        LogEvent("failure not shown, another failure box is open: " + text);
        return;
    }
    LogEvent("failure reported: " + text);
    failureBoxOpen_ = true;
    try {
        if (kind == TFailureKind::ErrorBox) {
            Application().MessageBox(text, kTitleNotice, TMessageBoxIcon::mbError);
        } else {
            Application().ShowMessage(text);
        }
    } catch (...) {
        failureBoxOpen_ = false;
        throw;
    }
    failureBoxOpen_ = false;
}

bool TForm1::ProgramEnding() const {
    return TerminationRequested() || Application().Terminated();
}

void TForm1::EndSingleConversion(bool uploaded) {
    LogEvent(uploaded ? "single conversion done" : "single conversion failed");
    if (OnSingleConversionEnd) {
        OnSingleConversionEnd(uploaded);
    }
}

void TForm1::ArmNextDifferentialCycle() {
    if (Edit5.Text() == "1") {
        Timer2.SetEnabled(true);
    }
}

void TForm1::ArmNextTimedRun() {
    if (Edit6.Text() == "1") {
        Timer3.SetEnabled(true);
        LogEvent("timed update: next run at " + timingtime);
    }
}

}  // namespace velomaris
