#include "app/Unit1.h"
#include "net/NetworkLimits.h"

#include "platform/DataDirectory.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/ui/Application.h"
#include "settings/PasswordCodec.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsEncoding.h"
#include "windows/SecureFtpSettings.h"
#include "windows/SetFileSections.h"
#include "windows/Unit2.h"
#include "windows/Unit3.h"
#include "windows/Unit4.h"
#include "windows/Unit9.h"

namespace velomaris {

TForm1::TForm1(TApplication& app)
    : TForm(app, "Form1", kMainCaption),
      sLabel1(this, "sLabel1", "在转网站之前必须先成功打开FTP"),
      Button2(this, "Button2", "登录FTP"),
      Button4(this, "Button4", "浏览主页"),
      Button1(this, "Button1", "开始转换"),
      Button6(this, "Button6", "启动差异更新"),
      Button7(this, "Button7", "启动定时更新"),
      WebBrowser1(*this, "WebBrowser1"),
      WebBrowser2(*this, "WebBrowser2"),
      Label7(this, "Label7", kSiteOpening),
      Edit1(this, "Edit1"),
      Edit2(this, "Edit2"),
      Edit3(this, "Edit3"),
      Edit4(this, "Edit4"),
      Edit5(this, "Edit5", "差异值"),
      Edit6(this, "Edit6", "定时值"),
      // A text no page's HTML equals, so a template that failed to load matches nothing.
      Memo5(this, "Memo5", "Memo5"),
      Memo6(this, "Memo6"),
      Memo7(this, "Memo7"),
      Memo3(this, "Memo3"),
      Memo4(this, "Memo4"),
      Button10(this, "Button10", "差异转换"),
      Button11(this, "Button11", "检查网站是否正常打开"),
      Button12(this, "Button12", "差异上传"),
      Button13(this, "Button13", "单页转换"),
      Button14(this, "Button14", "单页上传"),
      Button16(this, "Button16", "定时转换"),
      Button17(this, "Button17", "定时上传"),
      sBitBtn1(this, "sBitBtn1", "登录FTP差异更新"),
      sButton2(this, "sButton2", "登录FTP定时更新"),
      sButton1(this, "sButton1", "sButton1"),
      Timer2(*this, "Timer2"),
      Timer3(*this, "Timer3", 10),
      Timer4(*this, "Timer4", 5000),
      Timer5(*this, "Timer5", 1000),
      Timer6(*this, "Timer6", 3000),
      Timer7(*this, "Timer7", 1000),
      Timer8(*this, "Timer8", 3000),
      Timer9(*this, "Timer9", 3000),
      MainMenu1(this, "MainMenu1"),
      FTP1(this, "FTP1", "FTP设置"),
      N1(this, "N1", "网站设置"),
      N3(this, "N3", "更新设置"),
      N8(this, "N8", "差异更新设置"),
      N9(this, "N9", "定时更新设置"),
      N11(this, "N11", "启动设置"),
      N7(this, "N7", "创建快捷方式"),
      N2(this, "N2", "在线帮助"),
      PopupMenu1(this, "PopupMenu1"),
      N4(this, "N4", "显示主界面"),
      N5(this, "N5", "-"),
      N10(this, "N10", "在线帮助"),
      N6(this, "N6", "退出软件"),
      TrayIcon1(this, "TrayIcon1") {
    Button2.SetHint("请先登录您网站的FTP，才能把转换好的静态网页上传上去");
    Button4.SetHint("打开要转换的网站主页");
    Button1.SetHint("把已经打开的动态主页转换成静态主页并上传到FTP服务器");
    Button6.SetHint("启动差异更新");
    N3.SetHint("差异更新/定时更新相关设置");

    // Only "浏览主页" works before the settings have been read.
    Button2.SetEnabled(false);
    Button1.SetEnabled(false);
    Button6.SetEnabled(false);
    Button7.SetEnabled(false);
    Label7.SetVisible(false);
    Edit3.SetPasswordChar('*');
    TrayIcon1.SetCallbackMessage(kTrayCallbackMessage);
    PopupMenu1.SetKind(TMenuKind::mkPopup);

    // The program runs unattended for days. A server that accepts the connection and then
    // stays silent would otherwise hold the window, and every later cycle, for ever: a minute
    // without a byte ends that read as a network failure, which each workflow reports (and the
    // differential cycle retries) like any other.
    IdFTP1.SetReadTimeout(kNetworkSilenceLimitMs);
    IdHTTP1.SetReadTimeout(kNetworkSilenceLimitMs);
    // A server that trickles a byte now and then never trips the per-read limit: each whole
    // operation has its own bound as well.
    IdHTTP1.OperationTimeout = limits::kFetchDeadlineMs;
    IdFTP1.LoginTimeout = limits::kLoginDeadlineMs;
    IdFTP1.UploadTimeout = limits::kUploadBaseDeadlineMs;
    IdFTP1.UploadMinBytesPerSecond = limits::kUploadMinBytesPerSecond;
    IdHTTP1.SetIOHandler(&IdSSLIOHandlerSocket1);

    // The hidden fields, buffers and step triggers lie outside the visible client area.
    for (TControl* hidden : std::initializer_list<TControl*>{
             &Edit1,    &Edit2,    &Edit3,    &Edit4,    &Edit5,    &Edit6,    &Memo5,
             &Memo6,    &Memo7,    &Memo3,    &Memo4,    &Button10, &Button11, &Button12,
             &Button13, &Button14, &Button16, &Button17, &sBitBtn1, &sButton2, &sButton1}) {
        hidden->SetVisible(false);
    }

    MainMenu1.Add(FTP1);
    MainMenu1.Add(N1);
    MainMenu1.Add(N3);
    N3.Add(N8);
    N3.Add(N9);
    MainMenu1.Add(N11);
    MainMenu1.Add(N7);
    MainMenu1.Add(N2);
    PopupMenu1.Add(N4);
    PopupMenu1.Add(N5);
    PopupMenu1.Add(N10);
    PopupMenu1.Add(N6);

    ConnectHandlers();
    FormCreate();
}

TForm1::~TForm1() {
    if (openedLog_) {
        LogEvent("Velomaris ends");
        ProgramLog().OpenFile(std::string());
        ProgramLog().SetClock(nullptr);
    }
}

bool SettingsFileIsUtf8Only() {
    return HoldsSectionsOnlyInUtf8(SettingsFilePath(),
                                   {kSectionFtp, kSectionWeb, kSectionStartup, kSectionAutoStart});
}

std::string Utf8SettingsMessage() {
    return "设置文件 " + SettingsFileName() +
           " 是 UTF-8 编码的，程序读不到其中的设置。请把它保存为 GBK 编码，例如：iconv -f UTF-8 -t "
           "GBK " +
           SettingsFileName() + " > new.ini && mv new.ini " + SettingsFileName();
}

void TForm1::ConnectHandlers() {
    OnShow = [this] { FormShow(); };
    OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };

    Button2.OnClick = [this] { Button2Click(); };
    Button4.OnClick = [this] { Button4Click(); };
    Button1.OnClick = [this] { Button1Click(); };
    Button6.OnClick = [this] { Button6Click(); };
    Button7.OnClick = [this] { Button7Click(); };
    WebBrowser1.OnDocumentComplete = [this] { WebBrowser1DocumentComplete(); };

    Button10.OnClick = [this] { Button10Click(); };
    Button11.OnClick = [this] { Button11Click(); };
    Button12.OnClick = [this] { Button12Click(); };
    Button13.OnClick = [this] { Button13Click(); };
    Button14.OnClick = [this] { Button14Click(); };
    Button16.OnClick = [this] { Button16Click(); };
    Button17.OnClick = [this] { Button17Click(); };
    sBitBtn1.OnClick = [this] { sBitBtn1Click(); };
    sButton2.OnClick = [this] { sButton2Click(); };
    sButton1.OnClick = [this] { sButton1Click(); };

    Timer2.OnTimer = [this] { Timer2Timer(); };
    Timer3.OnTimer = [this] { Timer3Timer(); };
    Timer4.OnTimer = [this] { Timer4Timer(); };
    Timer5.OnTimer = [this] { Timer5Timer(); };
    Timer6.OnTimer = [this] { Timer6Timer(); };
    Timer7.OnTimer = [this] { Timer7Timer(); };
    Timer8.OnTimer = [this] { Timer8Timer(); };
    Timer9.OnTimer = [this] { Timer9Timer(); };

    FTP1.OnClick = [this] { FTP1Click(); };
    N1.OnClick = [this] { N1Click(); };
    N8.OnClick = [this] { N8Click(); };
    N9.OnClick = [this] { N9Click(); };
    N11.OnClick = [this] { N11Click(); };
    N7.OnClick = [this] { N7Click(); };
    N2.OnClick = [this] { N2Click(); };
    N4.OnClick = [this] { N4Click(); };
    N10.OnClick = [this] { N10Click(); };
    N6.OnClick = [this] { N6Click(); };
}

void TForm1::FormCreate() {
    // The browsers must never open dialog boxes of their own: the program runs unattended.
    WebBrowser1.SetSilent(true);
    WebBrowser2.SetSilent(true);
}

void TForm1::FormShow() {
    // Showing the window again from the tray must not restart anything.
    if (startupDone_) {
        return;
    }
    startupDone_ = true;

    // velomaris.log lives beside the settings file, unless a log is already set up.
    if (!ProgramLog().HasFile()) {
        ProgramLog().OpenFile(OsPath(DataDirectory() + kLogFileName));
        ProgramLog().SetClock(&Application().GetClock());
        openedLog_ = true;
    }
    ProgramLog().WriteUtf8("Velomaris starts, settings file " + DisplayPath(SettingsFilePath()));

    const std::string directory = ProgramDirectory();
    // Loading stops at the first file that fails: a missing first template leaves both
    // unloaded and the tray icon unregistered.
    bool filesMissing = false;
    try {
        Memo5.LoadFromFile(directory + kTemplateFile1);
        Memo6.LoadFromFile(directory + kTemplateFile2);
        TrayIcon1.Register(kTrayTip);  // a refusal by the shell is not reported
    } catch (const Exception&) {
        filesMissing = true;
    }
    if (filesMissing) {
        Application().MessageBox(std::string(kMissingFilesText) + kSupportEmail, kTitleNotice,
                                 TMessageBoxIcon::mbError);
    }

    // Reading stays as it is (every value its default); the user learns why.
    if (SettingsFileIsUtf8Only()) {
        LogEvent(Utf8SettingsMessage());
        Application().MessageBox(Utf8SettingsMessage(), kTitleNotice, TMessageBoxIcon::mbError);
    }

    ReadSettings();
    Button2.SetEnabled(true);

    const TProfileFile profile(SettingsFilePath());
    // The differential update wins: "time" is read only when "diff" is not set.
    if (SkipStartupModes) {
        // A single conversion from the command line runs instead.
    } else if (profile.ReadString(kSectionAutoStart, "diff", "0") == "1") {
        sBitBtn1.Click();
    } else if (profile.ReadString(kSectionAutoStart, "time", "0") == "1") {
        sButton2.Click();
    }

    WebBrowser2.Navigate(kSidePageAddress);
}

void TForm1::ReadSettings() {
    const TProfileFile profile(SettingsFilePath());
    // Values are taken exactly as read; the login trims host and directory itself.
    const std::string password = DecodePassword(profile.ReadString(kSectionFtp, "ftppass", "kq"));
    ftpaddr = profile.ReadString(kSectionFtp, "ftpaddr", "127.0.0.1");
    ftpuser = profile.ReadString(kSectionFtp, "ftpuser", "kq");
    ftpdir = profile.ReadString(kSectionFtp, "ftpdir", "kq");
    Edit1.SetText(ftpaddr);
    Edit2.SetText(ftpuser);
    Edit3.SetText(password);
    Edit4.SetText(ftpdir);
    const TSecureFtpSettings secure = ReadSecureFtpSettings(profile);
    ftppasv = secure.passive;
    ftptls = secure.tls;
    ftpcert = secure.certificatePin;
    timingtime = profile.ReadString(kSectionStartup, "timingtime", "00-00");
    webmain = profile.ReadString(kSectionWeb, "webmain", kDefaultWebMain);
    webfile = profile.ReadString(kSectionWeb, "webfile", "index");
    difftime = profile.ReadInteger(kSectionStartup, "difftime", 60000);
    // A different interval restarts a running Timer2; the same one leaves it alone.
    Timer2.SetInterval(difftime);
}

void TForm1::sButton1Click() {
    ReadSettings();
}

void TForm1::FTP1Click() {
    auto& form = Application().Form<TForm2>();
    form.sPageControl1.SetActivePageIndex(0);
    form.Show();
}

void TForm1::N1Click() {
    auto& form = Application().Form<TForm2>();
    form.sPageControl1.SetActivePageIndex(1);
    form.Show();
}

void TForm1::N8Click() {
    auto& form = Application().Form<TForm4>();
    form.sPageControl1.SetActivePageIndex(0);
    form.Show();
}

void TForm1::N9Click() {
    auto& form = Application().Form<TForm4>();
    form.sPageControl1.SetActivePageIndex(1);
    form.Show();
}

void TForm1::N11Click() {
    Application().Form<TForm9>().Show();
}

void TForm1::N2Click() {
    Application().Form<TForm3>().Show();
}

}  // namespace velomaris
