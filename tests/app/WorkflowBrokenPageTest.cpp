// A page that arrives broken (cut short, with a length that cannot be trusted, in a coding
// that cannot be read) is never stored or uploaded: the conversion fails as for any failed
// fetch and the previous page stays where it was, locally and on the server.
#include <gtest/gtest.h>

#include "tests/app/WorkflowFixture.h"
#include "tests/support/OneShotServer.h"

namespace velomaris {
namespace {

class WorkflowBrokenPageTest : public WorkflowTest {};

TEST_F(WorkflowBrokenPageTest, ABrokenPageIsNeitherStoredNorUploaded) {
    struct Row {
        const char* what;
        std::string response;
    };
    const Row rows[] = {
        {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(100, 'x')},
        {"chunked, cut before the last chunk",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"},
        {"a length that cannot be trusted", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nhello"},
        {"an unknown coding", "HTTP/1.1 200 OK\r\nContent-Encoding: br\r\n\r\nhello"},
    };
    ShowAndLogIn();
    BrowserShows(kRealPageHtml);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        harness.ClearMessages();
        OneShotServer site(row.response);
        form->webmain = "http://127.0.0.1:" + std::to_string(site.Port()) + "/index.php";
        dir.Write("index.html", "the previous page");
        harness.UserClick(form->Button1);
        harness.Advance(4000);
        EXPECT_EQ(harness.Messages(),
                  (std::vector<TMessageBoxRecord>{ErrorBox(kConversionFailedText)}));
        EXPECT_EQ(ReadIfExists(LocalPage()), "the previous page");
        EXPECT_FALSE(FileExists(RemotePage()));
        EXPECT_EQ(site.Request().rfind("GET /index.php HTTP/1.1\r\n", 0), 0u) << site.Request();
    }
}

}  // namespace
}  // namespace velomaris
