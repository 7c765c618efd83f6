// The main window: the console of the whole tool. It holds the settings read from setfile.ini,
// the hidden login fields and mode flags, the buffers, the step triggers and timers of the
// workflows, the two browsers, the menus and the tray icon.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <string>

#include "http/IdHTTP.h"
#include "net/IdFTP.h"
#include "net/IdSSLOpenSSL.h"
#include "platform/Stream.h"
#include "platform/browser/WebBrowser.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "platform/ui/Memo.h"
#include "platform/ui/Timer.h"

namespace velomaris {

class TResultForm;

// The values the publisher chooses: the page converted when setfile.ini names none, the page
// the side browser shows, and where users write for help.
inline constexpr char kDefaultWebMain[] = "http://www.example.com/index.php";
inline constexpr char kSidePageAddress[] = "http://www.example.org/";
inline constexpr char kSupportEmail[] = "support@example.com";

// The caption is also the program's name in the list of programs started at log-on, so it
// never changes.
inline constexpr char kMainCaption[] = "VelomarisV3.0";

// The three texts of the status line Label7; the workflows compare its caption with them.
inline constexpr char kSiteOpening[] = "正在打开网站，请稍后....";
inline constexpr char kSiteOpenFailed[] = "网站打开失败,请检查网络是否正常";
inline constexpr char kSiteOpenSucceeded[] =
    "网站打开成功，请检查网站界面，是否是你想要的界面，如果不是请重新再次打开主页";

inline constexpr char kTitleNotice[] = "提示";
inline constexpr char kTrayTip[] = "双击显示主界面";
// The message the tray icon sends to the main window for mouse events on it.
inline constexpr std::uint32_t kTrayCallbackMessage = 3000;
inline constexpr char kShortcutCreated[] = "已经在桌面上成功添加快捷方式";
// The missing-files message of the start-up sequence, before the support address.
inline constexpr char kMissingFilesText[] = "软件缺少必要文件，无法启动\r在线帮助：";

// The longest silence of an FTP or HTTP server that a workflow waits out before it gives up.
inline constexpr int kNetworkSilenceLimitMs = 60000;

// The error-page templates beside the program.
inline constexpr char kTemplateFile1[] = "checkweb.html";
inline constexpr char kTemplateFile2[] = "checkweb2.html";
// The log, beside the settings file.
inline constexpr char kLogFileName[] = "velomaris.log";

// True when the settings file holds its sections only in UTF-8 (an editor's default), so that
// every read gives its default; and the message that tells the user how to convert it.
bool SettingsFileIsUtf8Only();
// A failure for the log: its class and message, and for a server's reply also its code, so
// the line reads as the server's reply ("550 Is a directory.").
std::string DescribeNetworkFailure(const std::exception& failure);
std::string Utf8SettingsMessage();

class TForm1 : public TForm {
public:
    explicit TForm1(TApplication& app);
    ~TForm1() override;

    // Visible controls of the button bar and the browser frame.
    TLabel sLabel1;
    TButton Button2;          // "登录FTP"
    TButton Button4;          // "浏览主页"
    TButton Button1;          // "开始转换"
    TButton Button6;          // "启动差异更新" / "停止差异更新"
    TButton Button7;          // "启动定时更新" / "停止定时更新"
    TWebBrowser WebBrowser1;  // the page browser; its document-complete runs the site check
    TWebBrowser WebBrowser2;  // the side browser, navigated once at start-up
    TLabel Label7;            // the status line: the result of the last site check

    // Hidden fields: the login values and the two mode flags (on only when exactly "1").
    TEdit Edit1;  // FTP host
    TEdit Edit2;  // user name
    TEdit Edit3;  // password
    TEdit Edit4;  // remote directory
    TEdit Edit5;  // differential-update flag
    TEdit Edit6;  // timed-update flag

    // Hidden text buffers.
    TMemo Memo5;  // first error-page template
    TMemo Memo6;  // second error-page template
    TMemo Memo7;  // HTML read back from WebBrowser1
    TMemo Memo3;  // freshly fetched page (differential cycle)
    TMemo Memo4;  // last stored page (differential cycle)

    // Hidden step triggers of the workflows.
    TButton Button10;  // "差异转换"
    TButton Button11;  // "检查网站是否正常打开"
    TButton Button12;  // "差异上传"
    TButton Button13;  // "单页转换"
    TButton Button14;  // "单页上传"
    TButton Button16;  // "定时转换"
    TButton Button17;  // "定时上传"
    TButton sBitBtn1;  // "登录FTP差异更新"
    TButton sButton2;  // "登录FTP定时更新"
    TButton sButton1;  // reload the settings

    TTimer Timer2;  // period of the differential update (difftime)
    TTimer Timer3;  // clock watch of the timed update
    TTimer Timer4;  // waits for the site check, differential cycle
    TTimer Timer5;  // delay before a single-page conversion opens the site
    TTimer Timer6;  // waits for the site check, single-page conversion
    TTimer Timer7;  // waits for the site check, timed cycle
    TTimer Timer8;  // start-up login -> differential update
    TTimer Timer9;  // start-up login -> timed update

    TMenu MainMenu1;
    TMenuItem FTP1;
    TMenuItem N1;
    TMenuItem N3;
    TMenuItem N8;
    TMenuItem N9;
    TMenuItem N11;
    TMenuItem N7;
    TMenuItem N2;

    TMenu PopupMenu1;  // the tray menu
    TMenuItem N4;
    TMenuItem N5;
    TMenuItem N10;
    TMenuItem N6;

    TTrayIcon TrayIcon1;

    TIdFTP IdFTP1;  // one control connection for every upload
    // TLS for https pages; declared before IdHTTP1, which uses it until its own end.
    TIdSSLIOHandlerSocketOpenSSL IdSSLIOHandlerSocket1;
    TIdHTTP IdHTTP1;  // every page fetch

    // The settings held in memory; the workflows use only these.
    std::string ftpaddr;
    std::string ftpuser;
    std::string ftpdir;
    // Passive mode, explicit TLS and the pinned certificate of the FTP server (off and empty
    // when setfile.ini does not set them).
    bool ftppasv = false;
    bool ftptls = false;
    std::string ftpcert;
    std::string webmain;
    std::string webfile;
    std::string timingtime;
    std::int32_t difftime = 0;

    std::int32_t RetryCount = 0;
    std::int32_t SingleCheckCount = 0;

    // Called when a single-page conversion ends: true once the page is on the server, false
    // when the conversion gave up. Unset: nothing is called.
    std::function<void(bool uploaded)> OnSingleConversionEnd;
    // Set before the first showing: the start-up sequence then leaves the update modes of the
    // settings alone (a single conversion from the command line runs instead).
    bool SkipStartupModes = false;
    // Logs in as "登录FTP" does, without its success box, then starts a single-page conversion;
    // a failed login ends that conversion at once.
    void LogInAndConvertOnce();

    // Start-up and settings.
    void FormCreate();
    void FormShow();
    void sButton1Click();

    // Main menu.
    void FTP1Click();
    void N1Click();
    void N8Click();
    void N9Click();
    void N11Click();
    void N2Click();

    // FTP login and mode control.
    void Button2Click();
    void sBitBtn1Click();
    void sButton2Click();
    void Timer8Timer();
    void Timer9Timer();
    void Button6Click();
    void Button7Click();
    void Button1Click();
    void Button4Click();

    // Site check and single-page conversion.
    void WebBrowser1DocumentComplete();
    void Button11Click();
    void Timer5Timer();
    void Timer6Timer();
    void Button13Click();
    void Button14Click();

    // Differential update cycle.
    void Timer2Timer();
    void Timer4Timer();
    void Button10Click();
    void Button12Click();

    // Timed update cycle.
    void Timer3Timer();
    void Timer7Timer();
    void Button16Click();
    void Button17Click();

    // Tray icon, closing, desktop shortcut.
    void FormCloseQuery(bool& canClose);
    void N4Click();
    void N10Click();
    void N6Click();
    void N7Click();
    // The tray icon's callback message: a double-click brings the window back, a right-button
    // press pops up the tray menu.
    void WndProc(TMessage& message) override;

private:
    // The settings-reading steps shared by the start-up sequence and the reload.
    void ReadSettings();
    void ConnectHandlers();

    bool startupDone_ = false;

    // Workflow helpers (Unit1Login.cpp, Unit1SiteCheck.cpp).
    void LoginToFtp();
    void LoginFailed(const std::exception& cause);
    // Both raise Exception when webfile is not a plain file name.
    std::string LocalPageFile() const;
    std::string RemotePageName() const;
    // Reports a webfile that is not a plain file name (settings/PageFileName.h); the step that
    // finds it fetches and writes nothing.
    void ReportPageNameRefused();
    std::string SiteAddress() const;
    // Fetches webmain and writes the response body over the file, whole or not at all.
    void FetchPageToFile(const std::string& gbkPath, TReplacement replacement);
    // Whether the fetch file's text, line breaks made CR LF, differs from the local page file's
    // (or from the first-run text when there is none yet); both are read in blocks.
    bool FetchedTextDiffers(const std::string& fetchFile, const std::string& pageFile);
    // Fetches webmain and writes the page over the local page file, whole or not at all; the
    // file then holds a version the server has not received.
    void StoreFetchedPage();
    // Uploads the local page file; once it is on the server, shows the result window.
    void UploadLocalPage(TResultForm& window);
    // StoreFile of the local page file on a control connection that can carry it: one that
    // the server closed or spoke on unasked is replaced by a new login first, and a failure of
    // the connection itself (not the server's refusal) gets a new login and one more attempt
    // at once, which no retry counter counts. A failed login fails the upload.
    void StoreLocalPageOnServer();
    void LogInAgain(const std::string& reason);
    // One tick of an update cycle's wait for the site check: once the check has succeeded the
    // timer stops and next runs (then the retry counter starts again); before that the site is
    // re-opened while retries are left. Returns true when the retries are used up: the timer
    // is then off and the caller reports.
    bool WaitForSiteCheck(TTimer& timer, TButton& next);
    // The next differential period, or the timed run of the next day, is armed while the mode
    // is on: a cycle that gave up does not stop the updater.
    void ArmNextDifferentialCycle();
    void ArmNextTimedRun();
    // Shows a failure box, or only logs it while another failure box is still open, so an
    // unattended updater never piles up boxes, or once the program is ending.
    enum class TFailureKind { ErrorBox, PlainDialog };
    // Whether the program has been asked to end (a signal, the tray's exit item): every
    // network wait is then cut short, and what failed through that is no news for the user.
    bool ProgramEnding() const;
    void ReportFailure(TFailureKind kind, const std::string& text);
    void EndSingleConversion(bool uploaded);
    // Sets the window's two addresses and shows it.
    void ShowResultWindow(TResultForm& window);
    // The local page file holds a version the server has not received: set when the file is
    // written, cleared when an upload of it succeeds. The differential cycle uploads such a
    // version even when the page has not changed again since.
    bool localPageNotUploaded_ = false;
    bool failureBoxOpen_ = false;
    // A login has worked and none has failed since: only then do uploads log in again by
    // themselves, so a login the user saw fail is never retried behind their back.
    bool loggedIn_ = false;
    bool openedLog_ = false;
    // The local minute (minutes since 1970 in local time) of the last timed run: the clock
    // watch, armed again right after a run, never runs twice in one minute.
    std::int64_t lastTimedRunMinute_ = std::numeric_limits<std::int64_t>::min();
};

}  // namespace velomaris
