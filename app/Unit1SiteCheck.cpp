// The site check and the single-page conversion, with the page file names and addresses that
// every conversion uses.
#include <utility>

#include "app/Unit1.h"
#include "app/WorkflowAddresses.h"
#include "app/WorkflowMessages.h"
#include "platform/DataDirectory.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Stream.h"
#include "platform/ui/Application.h"
#include "settings/PageFileName.h"
#include "windows/Unit7.h"

namespace velomaris {

std::string TForm1::LocalPageFile() const {
    return DataDirectory() + RemotePageName();
}

std::string TForm1::RemotePageName() const {
    if (!IsPlainFileName(webfile)) {
        throw Exception("The page name is not a plain file name");
    }
    return webfile + ".html";
}

void TForm1::ReportPageNameRefused() {
    LogEvent("page name refused, it is not a plain file name: " + webfile);
    ReportFailure(TFailureKind::ErrorBox, kPageNameRefused);
}

std::string TForm1::SiteAddress() const {
    return SiteAddressOf(webmain);
}

void TForm1::FetchPageToFile(const std::string& gbkPath, TReplacement replacement) {
    // The body goes straight to disk as it arrives; the file takes its place only once the
    // whole body is there, so a failed fetch leaves the previous file as it was.
    TReplacingFileStream file(gbkPath, 0644, replacement);
    const Clock& clock = Application().GetClock();
    const Clock::TimePoint start = clock.Now();
    try {
        IdHTTP1.GetToStream(webmain, file);
    } catch (const std::exception& e) {
        LogEvent("fetch " + webmain + " failed: " + DescribeNetworkFailure(e));
        throw;
    }
    LogEvent("fetch " + webmain + ": HTTP " + std::to_string(IdHTTP1.ResponseCode()) + ", " +
             std::to_string(file.Size()) + " bytes, " + std::to_string(clock.Now() - start) +
             " ms");
    file.Commit();
}

void TForm1::StoreFetchedPage() {
    try {
        FetchPageToFile(LocalPageFile(), TReplacement::Durable);
    } catch (const EFCreateError& e) {
        // Making, writing or flushing the page file (a fetch failure is logged as such).
        LogEvent("storing the page failed: " + DescribeFailure(e));
        throw;
    }
    localPageNotUploaded_ = true;
}

void TForm1::UploadLocalPage(TResultForm& window) {
    StoreLocalPageOnServer();
    localPageNotUploaded_ = false;
    ShowResultWindow(window);
}

bool TForm1::WaitForSiteCheck(TTimer& timer, TButton& next) {
    if (Label7.Caption() == kSiteOpenSucceeded) {
        timer.SetEnabled(false);
        // The next step runs on the retries this wait has left; only after it does the
        // counter start again.
        next.Click();
        RetryCount = 0;
        return false;
    }
    if (RetryCount < kRetryLimit) {
        ++RetryCount;
        LogEvent("site check: " + webmain + " not open yet, opening it again (retry " +
                 std::to_string(RetryCount) + ")");
        Label7.SetVisible(true);
        WebBrowser1.Navigate(webmain);
        return false;
    }
    timer.SetEnabled(false);
    LogEvent("site check: " + webmain + " did not open, giving up this run");
    return true;
}

void TForm1::ShowResultWindow(TResultForm& window) {
    window.sLabel2.SetCaption(SiteAddress());
    window.sLabel4.SetCaption(window.sLabel2.Caption() + "/" + webfile + ".html");
    window.Show();
}

// A page with frames completes once per frame and once as a whole; every run reads the current
// top-level document, so the last one decides.
void TForm1::WebBrowser1DocumentComplete() {
    Button11.Click();
}

void TForm1::Button11Click() {
    std::string html;
    try {
        html = WebBrowser1.DocumentHtml();
    } catch (const EWebBrowserError&) {
        // The browser holds no HTML document (a download, an image): the site did not answer
        // with a home page, which is what the failure text says.
        Label7.SetCaption(kSiteOpenFailed);
        LogEvent("site check: " + webmain + " shows no HTML document");
        return;
    }
    Memo7.SetText(std::move(html));
    const std::string& shown = Memo7.Text();
    // Only the browser's own error pages, byte for byte, count as failure.
    if (shown == Memo5.Text() || shown == Memo6.Text()) {
        Label7.SetCaption(kSiteOpenFailed);
        LogEvent("site check: " + webmain + " shows the browser's error page");
    } else {
        Label7.SetCaption(kSiteOpenSucceeded);
        LogEvent("site check: " + webmain + " is open");
    }
}

void TForm1::Timer5Timer() {
    Timer5.SetEnabled(false);
    // Polling starts before the navigation, so a navigation the browser refuses still ends in
    // the give-up that re-enables the buttons.
    Timer6.SetEnabled(true);
    Button4.Click();
}

void TForm1::Timer6Timer() {
    Timer6.SetEnabled(false);
    if (SingleCheckCount > 3) {
        LogEvent("single conversion: " + webmain + " did not open, giving up");
        ReportFailure(TFailureKind::ErrorBox, kSiteGaveUp);
        SingleCheckCount = 0;
        Button1.SetEnabled(true);
        Button6.SetEnabled(true);
        Button7.SetEnabled(true);
        Button4.SetEnabled(true);
        EndSingleConversion(false);
        return;
    }
    if (Label7.Caption() == kSiteOpenSucceeded) {
        Button13.Click();
        SingleCheckCount = 0;
    } else {
        Timer6.SetEnabled(true);
    }
    ++SingleCheckCount;
}

void TForm1::Button13Click() {
    bool stored = false;
    // Nothing is fetched or written under a name that could leave the directory.
    if (!IsPlainFileName(webfile)) {
        ReportPageNameRefused();
    } else {
        try {
            StoreFetchedPage();
            stored = true;
        } catch (const std::exception&) {
            ReportFailure(TFailureKind::ErrorBox, kConversionFailed);
        }
    }
    if (!stored) {
        Button1.SetEnabled(true);
        Button6.SetEnabled(true);
        Button7.SetEnabled(true);
        Button4.SetEnabled(true);
        EndSingleConversion(false);
        return;
    }
    Button14.Click();
}

void TForm1::Button14Click() {
    bool uploaded = false;
    try {
        UploadLocalPage(Application().Form<TForm7>());
        uploaded = true;
    } catch (const std::exception&) {
        ReportFailure(TFailureKind::PlainDialog, kUploadFailed);
    }
    Button1.SetEnabled(true);
    Button6.SetEnabled(true);
    Button7.SetEnabled(true);
    Button4.SetEnabled(true);
    EndSingleConversion(uploaded);
}

}  // namespace velomaris
