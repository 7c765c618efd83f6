// velomaris-headless: the whole program without windows. Every message box and dialog is
// written to stderr (UTF-8) and closed at once, and so is every result window; the page
// browser loads pages with the headless engine. SIGINT and SIGTERM end it cleanly.
#include <iostream>
#include <memory>

#include "app/Forms.h"
#include "app/HeadlessBrowserEngine.h"
#include "app/Unit1.h"
#include "net/IdWait.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessBackend.h"
#include "platform/ui/TerminationSignals.h"
#include "windows/ResultForm.h"

namespace velomaris {
namespace {

// A result window is printed as it appears, like a dialog captioned with the window's caption
// (its lines, the two addresses, the time), and closed right after, as a user would: its next
// showing is then a new one, with the time of that conversion.
void PrintResultWindows(TApplication& app, std::ostream& out) {
    for (const auto& form : app.Forms()) {
        auto* window = dynamic_cast<TResultForm*>(form.get());
        if (window == nullptr) {
            continue;
        }
        window->OnShow = [&app, &out, window, shown = window->OnShow] {
            if (shown) {
                shown();
            }
            TMessageBoxRecord record;
            record.kind = TMessageKind::mkPlainDialog;
            record.title = window->Caption();
            record.text = window->sLabel1.Caption() + "\r" + window->sLabel3.Caption() + "\r" +
                          window->sLabel2.Caption() + "\r" + window->sLabel4.Caption() + "\r" +
                          window->sLabel5.Caption();
            out << DescribeMessage(record) << std::endl;
            app.Post([window] { window->Hide(); });
        };
    }
}

}  // namespace
}  // namespace velomaris

int main() {
    using namespace velomaris;
    try {
        RealClock clock;
        THeadlessBackend backend(clock);
        backend.SetMessagePolicy(PrintingMessagePolicy(std::cerr));
        TApplication app(backend, clock);
        // Before any other thread starts, so every thread leaves the signals to this one.
        // The request also ends a network wait under way, so no state delays the end.
        TTerminationSignals signals([&app] {
            RequestTermination();
            app.Terminate();
        });
        app.SetTitle("Velomaris");
        CreateForms(app);
        // The page browser loads pages for the site check. The side browser keeps its blank
        // engine: its page is only ever looked at in a window, which this program has none of,
        // and loading it would reach out to the internet at every start (tests included).
        app.Form<TForm1>().WebBrowser1.UseEngine(std::make_unique<THeadlessBrowserEngine>());
        PrintResultWindows(app, std::cerr);
        app.Run();
        return 0;
    } catch (const Exception& e) {
        std::cerr << "velomaris-headless: " << GbkToUtf8(e.Message()) << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "velomaris-headless: " << e.what() << std::endl;
    }
    return 1;
}
