#include "app/ProgramStart.h"

#include <iostream>
#include <mutex>

#include "app/Forms.h"
#include "net/IdWait.h"
#include "platform/Text.h"
#include "platform/ui/TerminationSignals.h"

namespace velomaris {

namespace {

// The application a termination signal ends. A signal that comes before the application
// exists is kept and ends it as soon as it does.
class TerminationTarget {
public:
    void Signal() {
        std::lock_guard lock(mutex_);
        if (app_ != nullptr) {
            app_->Terminate();
        } else {
            pending_ = true;
        }
    }
    void Attach(TApplication& app) {
        std::lock_guard lock(mutex_);
        app_ = &app;
        if (pending_) {
            app.Terminate();
        }
    }
    void Detach() {
        std::lock_guard lock(mutex_);
        app_ = nullptr;
    }

private:
    std::mutex mutex_;
    TApplication* app_ = nullptr;
    bool pending_ = false;
};

}  // namespace

int RunProgram(const TProgramStart& start) {
    TerminationTarget target;
    try {
        // Before any other thread starts, so every thread leaves the signals to this one.
        // The request also ends a network wait under way, so no state delays the end.
        TTerminationSignals signals([&target] {
            RequestTermination();
            target.Signal();
        });
        RealClock clock;
        std::unique_ptr<TUiBackend> backend = start.makeBackend(clock);
        TApplication app(*backend, clock);
        target.Attach(app);
        struct DetachOnExit {
            TerminationTarget& target;
            ~DetachOnExit() { target.Detach(); }
        } detach{target};
        app.SetTitle("Velomaris");
        CreateForms(app);
        if (start.prepare) {
            start.prepare(app, *backend);
        }
        app.Run();
        return start.exitStatus ? start.exitStatus() : 0;
    } catch (const Exception& e) {
        std::cerr << start.programName << ": " << GbkToUtf8(e.Message()) << std::endl;
    } catch (const std::exception& e) {
        std::cerr << start.programName << ": " << e.what() << std::endl;
    }
    return start.failureStatus;
}

}  // namespace velomaris
