// A server that accepts a connection and then never answers must not hold the unattended
// program for ever: the fetch gives up after the silence limit and the workflow reports it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/app/WorkflowFixture.h"

namespace velomaris {
namespace {

// A loopback listener that never accepts: the kernel completes the handshake and takes the
// request into its queue, and no byte ever comes back.
class SilentListener {
public:
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "cannot listen on loopback";
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
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
