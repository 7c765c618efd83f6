// velomaris-headless: the whole program without windows. Every message box and dialog is
// written to stderr (UTF-8) and closed at once; SIGINT and SIGTERM end it cleanly.
#include <iostream>

#include "app/Forms.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessBackend.h"
#include "platform/ui/TerminationSignals.h"

int main() {
    using namespace velomaris;
    try {
        RealClock clock;
        THeadlessBackend backend(clock);
        backend.SetMessagePolicy(PrintingMessagePolicy(std::cerr));
        TApplication app(backend, clock);
        // Before any other thread starts, so every thread leaves the signals to this one.
        TTerminationSignals signals([&app] { app.Terminate(); });
        app.SetTitle("Velomaris");
        CreateForms(app);
        app.Run();
        return 0;
    } catch (const Exception& e) {
        std::cerr << "velomaris-headless: " << GbkToUtf8(e.Message()) << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "velomaris-headless: " << e.what() << std::endl;
    }
    return 1;
}
