// The scripted peer must notice a client that deviates, or every transcript test built on it
// would pass whatever the client sent.
#include "tests/support/ScriptedPeer.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/net/NetTestSupport.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;

TEST(ScriptedPeerTest, ReportsAWrongLineWithBothTexts) {
    ScriptedPeer peer;
    peer.Accept().ExpectLine("USER anna").Send("331 never sent\r\n");
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    client.WriteLine("USER bob");
    EXPECT_NONFATAL_FAILURE(peer.Finish(),
                            "expected the line \"USER anna\\r\\n\"\n            got \"USER "
                            "bob\\r\\n\"");
}

TEST(ScriptedPeerTest, ResetsTheClientAfterADeviationInsteadOfLeavingItWaiting) {
    ScriptedPeer peer;
    peer.Accept().ExpectLine("A").Send("reply\r\n");
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    client.WriteLine("B");
    EXPECT_THROW(client.ReadLine(), EIdException);  // reset or closed, but no hang
    EXPECT_NONFATAL_FAILURE(peer.Finish(), "expected the line");
}

TEST(ScriptedPeerTest, ReportsAMissingLineAfterItsStepTimeout) {
    ScriptedPeer peer;
    peer.StepTimeout = 100ms;
    peer.Accept().ExpectLine("never");
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    EXPECT_NONFATAL_FAILURE(peer.Finish(), "timed out waiting for the line");
}

TEST(ScriptedPeerTest, RecordsEverythingReceivedPerConnection) {
    ScriptedPeer peer;
    peer.Accept().ExpectBytes("abc").Accept().ReadToEof();
    peer.Start();
    RecordingClient first;
    first.ConnectTo(peer);
    first.WriteText("abc");
    RecordingClient second;
    second.ConnectTo(peer);
    second.WriteText("xyz");
    second.CloseConnection();
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(peer.Received(0), "abc");
    EXPECT_EQ(peer.Received(1), "xyz");
}

}  // namespace
}  // namespace velomaris
