// FTP login and the switches of the two update modes.
#include "app/Unit1.h"
#include "app/WorkflowAddresses.h"
#include "app/WorkflowMessages.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"

namespace velomaris {

// Every login starts on a fresh connection, so a connection the server dropped long ago is
// replaced instead of being reused.
void TForm1::LoginToFtp() {
    IdFTP1.CloseConnection();
    const TFtpEndpoint endpoint = SplitFtpAddress(Trim(Edit1.Text()), TIdFTP::kDefaultPort);
    IdFTP1.SetHost(endpoint.host);
    IdFTP1.SetPort(endpoint.port);
    IdFTP1.SetUsername(Edit2.Text());
    IdFTP1.SetPassword(Edit3.Text());
    IdFTP1.SetPassive(ftppasv);
    IdFTP1.SetUseTLS(ftptls);
    IdFTP1.SetCertificatePin(ftpcert);
    // The password must never reach the log, whatever a server echoes of it.
    ProgramLog().SetSecret(Edit3.Text());
    IdFTP1.ConnectAndLogin(true, -1);
    IdFTP1.ChangeDirectory(Trim(Edit4.Text()));
    loggedIn_ = true;
    LogEvent("FTP login: " + Edit2.Text() + " at " + endpoint.host + ":" +
             std::to_string(endpoint.port) + ", directory " + Trim(Edit4.Text()));
}

// After a failed login no connection is open: the modes stop acting (their flags go off) and
// the conversion buttons wait for a login that works. The mode buttons keep their captions.
void TForm1::LoginFailed(const std::exception& cause) {
    LogEvent("FTP login failed: " + DescribeNetworkFailure(cause));
    loggedIn_ = false;
    // A login that failed only at CWD leaves a logged-in connection in the wrong directory;
    // an upload still under way (a conversion started before this login) must not land there.
    IdFTP1.CloseConnection();
    Button1.SetEnabled(false);
    Button6.SetEnabled(false);
    Button7.SetEnabled(false);
    Edit5.SetText("0");
    Edit6.SetText("0");
    if (ProgramEnding()) {
        LogEvent("failure not shown, the program is ending: " + std::string(kLoginFailedText));
        return;
    }
    Application().MessageBox(kLoginFailedText, kTitleNotice, TMessageBoxIcon::mbError);
}

void TForm1::Button2Click() {
    try {
        LoginToFtp();
    } catch (const std::exception& e) {
        LoginFailed(e);
        return;
    }
    Button1.SetEnabled(true);
    Button6.SetEnabled(true);
    Button7.SetEnabled(true);
    Application().MessageBox(kLoginSucceeded, kTitleNotice, TMessageBoxIcon::mbWarning);
}

void TForm1::sBitBtn1Click() {
    try {
        LoginToFtp();
    } catch (const std::exception& e) {
        LoginFailed(e);
        return;
    }
    Timer8.SetEnabled(true);
}

void TForm1::sButton2Click() {
    try {
        LoginToFtp();
    } catch (const std::exception& e) {
        LoginFailed(e);
        return;
    }
    Timer9.SetEnabled(true);
}

void TForm1::LogInAndConvertOnce() {
    try {
        LoginToFtp();
    } catch (const std::exception& e) {
        LoginFailed(e);
        EndSingleConversion(false);
        return;
    }
    Button1Click();
}

void TForm1::Timer8Timer() {
    Timer8.SetEnabled(false);
    Button6.SetEnabled(true);
    Button6.Click();
}

void TForm1::Timer9Timer() {
    Timer9.SetEnabled(false);
    Button7.SetEnabled(true);
    Button7.Click();
}

// Stopping a mode leaves its timers running: their handlers do nothing while the flag is off.
void TForm1::Button6Click() {
    if (Button6.Caption() == kDiffRunning) {
        Edit5.SetText("0");
        Button6.SetCaption(kDiffStopped);
        LogEvent("differential update stopped");
        Button1.SetEnabled(true);
        Button7.SetEnabled(true);
        Button4.SetEnabled(true);
        return;
    }
    Edit6.SetText("0");
    Edit5.SetText("1");
    Button1.SetEnabled(false);
    Button7.SetEnabled(false);
    Button4.SetEnabled(false);
    Button6.SetCaption(kDiffRunning);
    // The first check comes one full period after the start.
    Timer2.SetEnabled(true);
    LogEvent("differential update started, every " + std::to_string(difftime) + " ms");
}

void TForm1::Button7Click() {
    if (Button7.Caption() == kTimedRunning) {
        Edit6.SetText("0");
        Button7.SetCaption(kTimedStopped);
        LogEvent("timed update stopped");
        Button6.SetEnabled(true);
        Button1.SetEnabled(true);
        Button4.SetEnabled(true);
        return;
    }
    Edit5.SetText("0");
    Button1.SetEnabled(false);
    Button6.SetEnabled(false);
    Button4.SetEnabled(false);
    Button7.SetCaption(kTimedRunning);
    Edit6.SetText("1");
    // A start by the user may run at once within the minute of an earlier run.
    lastTimedRunMinute_ = std::numeric_limits<std::int64_t>::min();
    Timer3.SetEnabled(true);
    LogEvent("timed update started, daily at " + timingtime);
}

void TForm1::Button1Click() {
    Button4.SetEnabled(false);
    Button1.SetEnabled(false);
    Button6.SetEnabled(false);
    Button7.SetEnabled(false);
    Timer5.SetEnabled(true);
}

// Navigation returns at once; the site check runs when the page has loaded. The status line
// keeps its text until then.
void TForm1::Button4Click() {
    Label7.SetVisible(true);
    WebBrowser1.Navigate(webmain);
}

}  // namespace velomaris
