// The main window on the headless backend with a virtual clock, a scripted page browser, a real
// FTP server (pyftpdlib) and a real HTTP server on free loopback ports, and a program directory
// of its own holding the two error-page templates and a setfile.ini that points at the servers.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>

#include "app/Forms.h"
#include "app/Unit1.h"
#include "platform/Files.h"
#include "platform/Stream.h"
#include "platform/browser/ScriptedBrowserEngine.h"
#include "settings/PasswordCodec.h"
#include "settings/ProfileFile.h"
#include "tests/app/WorkflowHttpServer.h"
#include "tests/support/FtpServerFixture.h"
#include "tests/support/HeadlessHarness.h"
#include "tests/support/TempDir.h"
#include "windows/SetFileSections.h"

namespace velomaris {

inline const char kFirstRun[] = "第一次载入网页直接载入上传上去";
inline const char kConversionFailedText[] = "网站转换失败，请检查网络是否正常";
inline const char kUploadFailedText[] = "转换失败，请检查网络是否正常，或者重新登录FTP";
inline const char kSiteGaveUpText[] = "网站打开失败，请检查网络或者网址是否正常";

// A page the site check accepts: it differs from both templates.
inline const char kRealPageHtml[] = "<html><head></head><body>首页</body></html>";

class WorkflowTest : public ::testing::Test {
protected:
    // The dynamic page's path on the HTTP server; webmain names it.
    static constexpr const char* kPagePath = "dir/page.aspx";

    WorkflowTest() {
        for (const char* name : {kTemplateFile1, kTemplateFile2}) {
            dir.Write(name, ReadWholeFile(shippedDirectory + name));
        }
        ::mkdir((ftp.Home() + "site").c_str(), 0755);
        http.SetPage(kPagePath, "<html>page</html>");
        WriteSetting(kSectionFtp, "ftpaddr", "127.0.0.1:" + std::to_string(ftp.Port()));
        WriteSetting(kSectionFtp, "ftpuser", ftp.User());
        WriteSetting(kSectionFtp, "ftppass", EncodePassword(ftp.Password()));
        WriteSetting(kSectionFtp, "ftpdir", "site");
        WriteSetting(kSectionWeb, "webmain", http.Url(kPagePath));
        WriteSetting(kSectionWeb, "webfile", "index");
        CreateForms(harness.App());
        form = &harness.App().Form<TForm1>();
        page =
            &form->WebBrowser1.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
        form->WebBrowser2.UseEngine(std::make_unique<TScriptedBrowserEngine>(harness.App()));
    }

    void WriteSetting(const char* section, const char* key, const std::string& value) {
        TProfileFile(dir.File("setfile.ini")).WriteString(section, key, value);
    }
    // The first showing, as the program's Run does it: templates, settings, start-up modes.
    void ShowMainWindow() {
        harness.App().Deliver([this] { form->Show(); });
    }
    // Shows the main window and logs in with "登录FTP"; the success box is cleared.
    void ShowAndLogIn() {
        ShowMainWindow();
        harness.UserClick(form->Button2);
        ASSERT_EQ(harness.Messages().size(), 1u) << ToString(harness.Messages().back());
        ASSERT_EQ(harness.Messages()[0].icon, TMessageBoxIcon::mbWarning);
        harness.ClearMessages();
    }

    // Every navigation of the page browser yields html after delayMs.
    void BrowserShows(const std::string& html, std::int64_t delayMs = 100) {
        page->RespondWith(TScriptedBrowserEngine::TPage{html, delayMs, 1});
    }
    // The browser's own error page: the first template, as loaded at start-up.
    std::string ErrorPage() const { return form->Memo5.Text(); }

    std::string LocalPage() const { return dir.File("index.html"); }
    std::string RemotePage() const { return ftp.Home() + "site/index.html"; }
    std::optional<std::string> ReadIfExists(const std::string& path) const {
        if (!FileExists(path)) {
            return std::nullopt;
        }
        return ReadWholeFile(path);
    }
    // Fills the remote name with a directory, so every upload is refused (550) while the
    // control connection stays logged in; Unblock lifts it.
    void BlockUploads() const { ::mkdir(RemotePage().c_str(), 0755); }
    void UnblockUploads() const { ::rmdir(RemotePage().c_str()); }

    static TMessageBoxRecord ErrorBox(const std::string& text) {
        return {TMessageKind::mkMessageBox, text, "提示", TMessageBoxIcon::mbError};
    }
    static TMessageBoxRecord PlainDialog(const std::string& text) {
        return {TMessageKind::mkPlainDialog, text, "Velomaris", TMessageBoxIcon::mbNone};
    }

    const std::string shippedDirectory = ProgramDirectory();
    TempDir dir;
    ScopedProgramDirectory programDirectory{dir.Path()};
    FtpServerFixture ftp;
    WorkflowHttpServer http;
    HeadlessHarness harness;
    TForm1* form = nullptr;
    TScriptedBrowserEngine* page = nullptr;
};

}  // namespace velomaris
