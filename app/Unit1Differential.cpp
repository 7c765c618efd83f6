// The differential update: every difftime milliseconds open the site, wait for a successful
// check, fetch the page, and upload it only when its text differs from the stored page file.
// One retry counter serves the re-opened navigations, the fetches and the uploads of a cycle.
#include "app/Unit1.h"
#include "app/WorkflowMessages.h"
#include "platform/Files.h"
#include "platform/LineBreaks.h"
#include "platform/Stream.h"
#include "platform/ui/Application.h"
#include "windows/Unit5.h"

namespace velomaris {

void TForm1::Timer2Timer() {
    if (Edit5.Text() != "1") {
        return;
    }
    Timer2.SetEnabled(false);
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
    // When the retries run out the cycle halts: Timer2 stays off while the flag stays on, until
    // the user stops and restarts the mode.
    WaitForSiteCheck(Timer4, Button10);
}

void TForm1::Button10Click() {
    if (Edit5.Text() != "1") {
        return;
    }
    enum class TNext { Wait, Upload, Failed } next = TNext::Wait;
    try {
        const std::string fetchFile = ProgramDirectory() + kFetchFileName;
        // Both files are replaced whole or not at all, so a failure never leaves a truncated
        // page for the next comparison.
        FetchPageToFile(fetchFile);
        const std::string pageFile = LocalPageFile();
        if (FetchedTextDiffers(fetchFile, pageFile)) {
            // The page file holds the fetched text as the text buffers hold it: CR LF breaks.
            TFileStream fetched(fetchFile, TFileMode::fmOpenRead);
            TNormalizedReader text(fetched);
            TReplacingFileStream page(pageFile);
            CopyText(text, page);
            page.Commit();
            localPageNotUploaded_ = true;
            next = TNext::Upload;
        } else if (localPageNotUploaded_) {
            // The stored version never reached the server (its upload failed for good): send
            // it now, although the page has not changed since.
            next = TNext::Upload;
        } else {
            Timer2.SetEnabled(true);
        }
    } catch (const std::exception&) {
        next = TNext::Failed;
    }

    if (next == TNext::Upload) {
        Button12.Click();
    } else if (next == TNext::Failed) {
        if (RetryCount >= kRetryLimit) {
            // Given up: the cycle halts with Timer2 off.
            RetryCount = 0;
            Application().MessageBox(kConversionFailed, kTitleNotice, TMessageBoxIcon::mbError);
        } else {
            ++RetryCount;
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
        if (Edit5.Text() == "1") {
            Timer2.SetEnabled(true);
        }
    } catch (const std::exception&) {
        failed = true;
    }
    if (!failed) {
        return;
    }
    if (RetryCount < kRetryLimit) {
        ++RetryCount;
        Button12.Click();
    } else {
        // Given up: the cycle halts with Timer2 off. The page file keeps the new version, and
        // the next cycle whose upload works sends it.
        Application().ShowMessage(kUploadFailed);
    }
}

}  // namespace velomaris
