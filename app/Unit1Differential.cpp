// The differential update: every difftime milliseconds open the site, wait for a successful
// check, fetch the page, and upload it only when its text differs from the stored page file.
// One retry counter serves the re-opened navigations, the fetches and the uploads of a cycle.
#include "app/Unit1.h"
#include "app/WorkflowMessages.h"
#include "platform/DataDirectory.h"
#include "platform/Files.h"
#include "platform/LineBreaks.h"
#include "platform/Log.h"
#include "platform/Stream.h"
#include "platform/ui/Application.h"
#include "settings/PageFileName.h"
#include "windows/Unit5.h"

namespace velomaris {

void TForm1::Timer2Timer() {
    if (Edit5.Text() != "1") {
        return;
    }
    Timer2.SetEnabled(false);
    LogEvent("differential update: opening " + webmain);
    // The check timer runs before the navigation starts, so a navigation the browser refuses
    // is retried and finally reported like a site that never opens, instead of ending the
    // cycle with nothing left running.
    Timer4.SetEnabled(true);
    Button4.Click();
}

void TForm1::Timer4Timer() {
    if (Edit5.Text() != "1") {
        return;
    }
    if (WaitForSiteCheck(Timer4, Button10)) {
        // This cycle gave up; the next period starts with the whole retry budget, and runs
        // even while the box about this one is still open.
        RetryCount = 0;
        ArmNextDifferentialCycle();
        ReportFailure(TFailureKind::ErrorBox, kConversionFailed);
    }
}

void TForm1::Button10Click() {
    if (Edit5.Text() != "1") {
        return;
    }
    // Retrying cannot mend the name: this cycle gives up at once, and the next period runs
    // with whatever name the settings hold by then.
    if (!IsPlainFileName(webfile)) {
        RetryCount = 0;
        ArmNextDifferentialCycle();
        ReportPageNameRefused();
        return;
    }
    enum class TNext { Wait, Upload, Failed } next = TNext::Wait;
    try {
        const std::string fetchFile = DataDirectory() + kFetchFileName;
        // Both files are replaced whole or not at all, so a failure never leaves a truncated
        // page for the next comparison. The fetched copy is only read right here, after this
        // fetch has written it, so it need not wait for the disk; the page file must.
        FetchPageToFile(fetchFile, TReplacement::Scratch);
        const std::string pageFile = LocalPageFile();
        if (FetchedTextDiffers(fetchFile, pageFile)) {
            // The page file holds the fetched text as the text buffers hold it: CR LF breaks.
            TFileStream fetched(fetchFile, TFileMode::fmOpenRead);
            TNormalizedReader text(fetched);
            TReplacingFileStream page(pageFile);
            CopyText(text, page);
            page.Commit();
            localPageNotUploaded_ = true;
            LogEvent("differential update: page changed");
            next = TNext::Upload;
        } else if (localPageNotUploaded_) {
            // The stored version never reached the server (its upload failed for good): send
            // it now, although the page has not changed since.
            LogEvent(
                "differential update: page unchanged, the stored version is not uploaded "
                "yet");
            next = TNext::Upload;
        } else {
            LogEvent("differential update: page unchanged");
            Timer2.SetEnabled(true);
        }
    } catch (const std::exception& e) {
        LogEvent("differential update: fetch or store failed: " + DescribeFailure(e));
        next = TNext::Failed;
    }

    if (next == TNext::Upload) {
        Button12.Click();
    } else if (next == TNext::Failed) {
        if (RetryCount >= kRetryLimit) {
            // Given up for this cycle; the next period runs again.
            RetryCount = 0;
            ArmNextDifferentialCycle();
            ReportFailure(TFailureKind::ErrorBox, kConversionFailed);
        } else {
            ++RetryCount;
            LogEvent("differential update: fetching again (retry " + std::to_string(RetryCount) +
                     ")");
            Button10.Click();
        }
    }
}

bool TForm1::FetchedTextDiffers(const std::string& fetchFile, const std::string& pageFile) {
    // Compared as the text buffers would hold them, without loading either page whole.
    TFileStream fetched(fetchFile, TFileMode::fmOpenRead);
    TNormalizedReader newText(fetched);
    if (!FileExists(pageFile)) {
        Memo4.SetText(kFirstRunText);
        return !SameText(newText, Memo4.Text());
    }
    TFileStream stored(pageFile, TFileMode::fmOpenRead);
    TNormalizedReader oldText(stored);
    return !SameText(newText, oldText);
}

// Handles every failure itself, so none reaches the fetch step that called it.
void TForm1::Button12Click() {
    if (Edit5.Text() != "1") {
        return;
    }
    bool failed = false;
    try {
        UploadLocalPage(Application().Form<TForm5>());
        ArmNextDifferentialCycle();
    } catch (const std::exception&) {
        failed = true;
    }
    if (!failed) {
        return;
    }
    if (RetryCount < kRetryLimit) {
        ++RetryCount;
        LogEvent("differential update: uploading again (retry " + std::to_string(RetryCount) + ")");
        Button12.Click();
    } else {
        // Given up for this cycle; the next period runs again. The page file keeps the new
        // version, and the next cycle whose upload works sends it.
        ArmNextDifferentialCycle();
        ReportFailure(TFailureKind::PlainDialog, kUploadFailed);
    }
}

}  // namespace velomaris
