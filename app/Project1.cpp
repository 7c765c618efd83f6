// velomaris-headless: the whole program without windows. Every message box and dialog is
// written to stderr (UTF-8) and closed at once, and so is every result window; the page
// browser loads pages with the headless engine. SIGINT and SIGTERM end it cleanly. Its command
// line (app/CommandLine.h) can choose another settings file and ask for a single conversion.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/HeadlessBrowserEngine.h"
#include "app/ProgramStart.h"
#include "app/Unit1.h"
#include "platform/DataDirectory.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessBackend.h"
#include "settings/ProfileFile.h"
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

int main(int argc, char** argv) {
    using namespace velomaris;
    const THeadlessCommand command =
        ParseHeadlessCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = ActOnProgramCommand("velomaris-headless", command, HeadlessUsage())) {
        return *status;
    }
    try {
        if (command.once && !FileExists(SettingsFilePath())) {
            std::cerr << "velomaris-headless: no settings file " << DisplayPath(SettingsFilePath())
                      << std::endl;
            return kExitUsage;
        }
        if (command.once && SettingsFileIsUtf8Only()) {
            std::cerr << "velomaris-headless: " << GbkToUtf8(Utf8SettingsMessage()) << std::endl;
            return kExitUsage;
        }
        // A single conversion that is interrupted has not uploaded anything.
        int exitStatus = command.once ? kExitFailed : kExitOk;
        TProgramStart start;
        start.programName = "velomaris-headless";
        start.failureStatus = kExitFailed;
        start.makeBackend = [](Clock& clock) {
            auto backend = std::make_unique<THeadlessBackend>(clock);
            backend->SetMessagePolicy(PrintingMessagePolicy(std::cerr));
            return backend;
        };
        start.prepare = [&command, &exitStatus](TApplication& app, TUiBackend&) {
            ProgramLog().EchoTo(&std::cerr);
            // The page browser loads pages for the site check. The side browser keeps its
            // blank engine: its page is only ever looked at in a window, which this program has
            // none of, and loading it would reach out to the internet at every start (tests
            // included).
            auto& form = app.Form<TForm1>();
            form.WebBrowser1.UseEngine(std::make_unique<THeadlessBrowserEngine>());
            PrintResultWindows(app, std::cerr);
            if (command.once) {
                form.SkipStartupModes = true;
                form.OnSingleConversionEnd = [&app, &exitStatus](bool uploaded) {
                    exitStatus = uploaded ? kExitOk : kExitFailed;
                    app.Terminate();
                };
                // Runs once the start-up sequence of the first showing is done.
                app.Post([&form] { form.LogInAndConvertOnce(); });
            }
        };
        start.exitStatus = [&exitStatus] { return exitStatus; };
        return RunProgram(start);
    } catch (const Exception& e) {
        std::cerr << "velomaris-headless: " << GbkToUtf8(e.Message()) << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "velomaris-headless: " << e.what() << std::endl;
    }
    return kExitFailed;
}
