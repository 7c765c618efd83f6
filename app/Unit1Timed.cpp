// The timed update: every day when the local clock reads timingtime ("HH-MM"), open the site,
// wait for a successful check, fetch and store the page and upload it. After each run, whether
// it worked or not, the clock watch is armed again for the next day.
#include <string_view>

#include "app/Unit1.h"
#include "app/WorkflowMessages.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/ui/Application.h"
#include "windows/Unit8.h"

namespace velomaris {

namespace {

// "HH-MM" of the local time. Runs every 10 ms, so it builds the five bytes by hand.
void FormatClockText(const TDateTimeParts& now, char (&text)[5]) {
    text[0] = static_cast<char>('0' + now.hour / 10 % 10);
    text[1] = static_cast<char>('0' + now.hour % 10);
    text[2] = '-';
    text[3] = static_cast<char>('0' + now.minute / 10 % 10);
    text[4] = static_cast<char>('0' + now.minute % 10);
}

}  // namespace

void TForm1::Timer3Timer() {
    if (Edit6.Text() != "1") {
        return;
    }
    const TDateTimeParts now = Application().GetClock().LocalNow();
    char clock[5];
    FormatClockText(now, clock);
    if (std::string_view(clock, sizeof clock) != timingtime) {
        return;
    }
    // The clock watch is armed again right after a run, still inside this minute.
    TDateTimeParts minuteStart = now;
    minuteStart.second = 0;
    minuteStart.millisecond = 0;
    const std::int64_t minute = FromUtcParts(minuteStart) / 60000;
    if (minute == lastTimedRunMinute_) {
        return;
    }
    lastTimedRunMinute_ = minute;
    Timer3.SetEnabled(false);
    LogEvent("timed update: opening " + webmain);
    // The check timer runs before the navigation starts, so a navigation the browser refuses
    // still ends the run with its message.
    Timer7.SetEnabled(true);
    Button4.Click();
}

void TForm1::Timer7Timer() {
    if (Edit6.Text() != "1") {
        return;
    }
    if (WaitForSiteCheck(Timer7, Button16)) {
        // Today's run gave up; tomorrow's starts with the whole retry budget.
        RetryCount = 0;
        ArmNextTimedRun();
        ReportFailure(TFailureKind::ErrorBox, kConversionFailed);
    }
}

void TForm1::Button16Click() {
    if (Edit6.Text() != "1") {
        return;
    }
    try {
        StoreFetchedPage();
    } catch (const std::exception&) {
        ArmNextTimedRun();
        ReportFailure(TFailureKind::ErrorBox, kConversionFailed);
        return;
    }
    Button17.Click();
}

void TForm1::Button17Click() {
    if (Edit6.Text() != "1") {
        return;
    }
    try {
        UploadLocalPage(Application().Form<TForm8>());
    } catch (const std::exception&) {
        ArmNextTimedRun();
        ReportFailure(TFailureKind::PlainDialog, kUploadFailed);
        return;
    }
    ArmNextTimedRun();
}

}  // namespace velomaris
