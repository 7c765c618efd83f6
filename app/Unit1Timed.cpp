// The timed update: once per start of the mode, when the local clock reads timingtime ("HH-MM"),
// open the site, wait for a successful check, fetch and store the page and upload it.
#include <string_view>

#include "app/Unit1.h"
#include "app/WorkflowMessages.h"
#include "platform/Files.h"
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
    char clock[5];
    FormatClockText(Application().GetClock().LocalNow(), clock);
    if (std::string_view(clock, sizeof clock) != timingtime) {
        return;
    }
    // One run per start: nothing enables the clock watch again.
    Timer3.SetEnabled(false);
    // The check timer runs before the navigation starts, so a navigation the browser refuses
    // still ends the run with its message.
    Timer7.SetEnabled(true);
    Button4.Click();
}

void TForm1::Timer7Timer() {
    if (Edit6.Text() != "1") {
        return;
    }
    // When the retries run out this start's single run ends: the clock watch stays off.
    WaitForSiteCheck(Timer7, Button16);
}

void TForm1::Button16Click() {
    if (Edit6.Text() != "1" || PageNameRefused()) {
        return;
    }
    try {
        StoreFetchedPage();
    } catch (const std::exception&) {
        Application().MessageBox(kConversionFailed, kTitleNotice, TMessageBoxIcon::mbError);
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
        Application().ShowMessage(kUploadFailed);
    }
}

}  // namespace velomaris
