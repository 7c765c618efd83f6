#include "platform/ui/TerminationSignals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "platform/Clock.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessBackend.h"

namespace velomaris {
namespace {

// A SIGTERM sent to the process ends the loop instead of killing the process.
TEST(TerminationSignalsTest, ASignalToTheProcessEndsTheLoop) {
    RealClock clock;
    THeadlessBackend backend(clock);
    TApplication app(backend, clock);
    TTerminationSignals signals([&app] { app.Terminate(); });
    TForm& form = app.CreateForm<TForm>("Form1", "Caption");
    form.OnShow = [] { ::kill(::getpid(), SIGTERM); };
    app.Run();
    EXPECT_TRUE(app.Terminated());
}

}  // namespace
}  // namespace velomaris
