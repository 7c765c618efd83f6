// A server that accepts a connection and then never answers must not hold the unattended
// program for ever: the fetch gives up after the silence limit and the workflow reports it.
#include "tests/app/WorkflowFixture.h"
#include "tests/support/LoopbackSocket.h"

namespace velomaris {
namespace {

// A loopback listener that never accepts: the kernel completes the handshake and takes the
// request into its queue, and no byte ever comes back.
class SilentListener {
public:
    SilentListener() { socket_.Listen(4); }
    int Port() const { return socket_.Port(); }

private:
    LoopbackSocket socket_;
};

class WorkflowStalledServerTest : public WorkflowTest {};

TEST_F(WorkflowStalledServerTest, BothClientsStartWithABoundedWaitForASilentServer) {
    for (std::int32_t limit : {form->IdHTTP1.ReadTimeout(), form->IdFTP1.ReadTimeout()}) {
        EXPECT_GT(limit, 0);
        EXPECT_LE(limit, 120000);
    }
}

TEST_F(WorkflowStalledServerTest, AFetchFromASilentServerEndsWithTheConversionMessage) {
    SilentListener silent;
    ShowAndLogIn();
    WriteSetting(kSectionWeb, "webmain",
                 "http://127.0.0.1:" + std::to_string(silent.Port()) + "/dir/page.php");
    harness.UserClick(form->sButton1);
    // The real limit is a minute; the same path with a short one keeps the test quick.
    form->IdHTTP1.SetReadTimeout(300);

    harness.UserClick(form->Button13);

    ASSERT_EQ(harness.Messages().size(), 1u);
    EXPECT_EQ(harness.Messages()[0], ErrorBox(kConversionFailedText));
    EXPECT_FALSE(FileExists(LocalPage()));
    EXPECT_TRUE(form->Button1.Enabled());
    EXPECT_TRUE(form->Button4.Enabled());
}

}  // namespace
}  // namespace velomaris
