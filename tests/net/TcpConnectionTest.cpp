#include <gtest/gtest.h>
#include <pthread.h>

#include <csignal>
#include <thread>

#include <algorithm>

#include "net/IdTCPClient.h"
#include "platform/Stream.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris {
namespace {

using namespace std::chrono_literals;

TEST(TcpConnectionTest, ReadLineSplitsLinesWhateverPiecesTheyArriveIn) {
    struct Row {
        std::string sent;
        std::vector<std::string> lines;
    } rows[] = {
        {"abc\r\n", {"abc"}},
        {"abc\n", {"abc"}},
        {"\r\n", {""}},
        {"a\rb\n", {"a\rb"}},  // only a CR right before the LF is dropped
        {"one\r\ntwo\nthree\r\n", {"one", "two", "three"}},
        {"x\r\r\n", {"x\r"}},
    };
    unsigned seed = 1;
    for (const Row& row : rows) {
        ScriptedPeer peer;
        peer.Accept().SendInPieces(row.sent, seed++, 3).Close();
        peer.Start();
        TIdTCPClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(peer.Port());
        client.OpenConnection();
        for (const std::string& expected : row.lines) {
            EXPECT_EQ(client.ReadLine(), expected) << ScriptedPeer::Escape(row.sent);
        }
        EXPECT_THROW(client.ReadLine(), EIdConnClosedGracefully);
        peer.Finish();
    }
}

TEST(TcpConnectionTest, ReadLineJoinsACrLfSplitAcrossReceives) {
    ScriptedPeer peer;
    peer.Accept().Send("abc\r").Stall(200ms).Send("\ndef\n");
    peer.Start();
    CountingIOHandler handler;
    RecordingClient client;
    client.SetIOHandler(&handler);
    client.ConnectTo(peer);
    EXPECT_EQ(client.ReadLine(), "abc");
    EXPECT_GE(handler.receives, 2);
    EXPECT_EQ(client.ReadLine(), "def");
    peer.Finish();
}

TEST(TcpConnectionTest, OtherTerminatorsKeepTheCrAndMayArriveInPieces) {
    ScriptedPeer peer;
    peer.Accept().Send("ab\r|").SendInPieces("first\r\n.\r\nsecond\r\n.\r\n", 7, 2);
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    EXPECT_EQ(client.ReadLine("|"), "ab\r");
    EXPECT_EQ(client.ReadLine("\r\n.\r\n"), "first");
    EXPECT_EQ(client.ReadLine("\r\n.\r\n"), "second");
    peer.Finish();
}

TEST(TcpConnectionTest, ReadLineEnforcesTheMaximumLength) {
    const std::string longest(16384, 'x');
    struct Row {
        std::string sent;
        bool accepted;
    } rows[] = {
        {longest + "\n", true},
        {longest + "y\n", false},
        {longest + "\r\n", false},  // the CR counts
    };
    for (const Row& row : rows) {
        ScriptedPeer peer;
        peer.Accept().Send(row.sent);
        peer.Start();
        RecordingClient client;
        client.ConnectTo(peer);
        if (row.accepted) {
            EXPECT_EQ(client.ReadLine(), longest);
        } else {
            try {
                client.ReadLine();
                ADD_FAILURE() << "a line of " << row.sent.size() << " bytes was accepted";
            } catch (const EIdReadLnMaxLineLengthExceeded& e) {
                EXPECT_EQ(e.Message(), "Max line length exceeded.");
                // Nothing consumed: the whole line is still buffered.
                EXPECT_EQ(client.PendingInput().Size(), row.sent.size());
            }
        }
        peer.Finish();
    }
}

TEST(TcpConnectionTest, OverlongBufferedDataIsRefusedBeforeWaitingForMore) {
    // The peer sends 16385 bytes without a line end and then stays silent with the connection
    // open: waiting for more would hang.
    ScriptedPeer peer;
    peer.Accept().Send(std::string(16385, 'x')).Stall(1000ms);
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.ReadLine(), EIdReadLnMaxLineLengthExceeded);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 800ms);
    client.SetMaxLineAction(TIdMaxLineAction::maSplit);
    EXPECT_EQ(client.ReadLine(), std::string(16384, 'x'));
    client.CloseConnection();
    peer.Finish();
}

TEST(TcpConnectionTest, BufferedLinesNeedNoSocketCallEvenAfterThePeerClosed) {
    ScriptedPeer peer;
    peer.Accept().Send("one\r\ntwo\r\n").Close();
    peer.Start();
    CountingIOHandler handler;
    RecordingClient client;
    client.SetIOHandler(&handler);
    client.ConnectTo(peer);
    EXPECT_EQ(client.ReadLine(), "one");
    std::this_thread::sleep_for(50ms);  // let the close arrive
    const int receives = handler.receives;
    EXPECT_EQ(client.ReadLine(), "two");
    EXPECT_EQ(handler.receives, receives);
    peer.Finish();
}

TEST(TcpConnectionTest, UnterminatedBytesStayBufferedAtTheClose) {
    ScriptedPeer peer;
    peer.Accept().Send("abc").Close();
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    EXPECT_EQ(client.ReadLine(), "");
    EXPECT_EQ(std::string(client.PendingInput().Data(), client.PendingInput().Size()), "abc");
    EXPECT_EQ(client.disconnects, 1);
    EXPECT_THROW(client.ReadLine(), EIdConnClosedGracefully);
    peer.Finish();
}

TEST(TcpConnectionTest, CloseWithNothingBufferedReportsDisconnectedAndRaises) {
    ScriptedPeer peer;
    peer.Accept().Close();
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    client.statuses.clear();
    try {
        client.ReadLine();
        FAIL();
    } catch (const EIdConnClosedGracefully& e) {
        EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
    }
    EXPECT_EQ(client.statuses, std::vector<TIdStatus>{TIdStatus::hsDisconnected});
    EXPECT_EQ(client.disconnects, 1);
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_FALSE(client.IsConnected());  // and it raises nothing
    EXPECT_EQ(client.disconnects, 1) << "the release is reported once";
    peer.Finish();
}

TEST(TcpConnectionTest, IsConnectedNoticesAClosedPeerOnlyThroughAProbe) {
    ScriptedPeer peer;
    peer.Accept().Send("left").Close();
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    peer.Finish();  // the peer has closed
    EXPECT_TRUE(client.IsConnected()) << "nothing was read yet";
    client.ProbeForClose(false);
    client.ProbeForClose(false);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(std::string(client.PendingInput().Data(), client.PendingInput().Size()), "left");
    EXPECT_EQ(client.disconnects, 1);
    peer.Finish();
}

TEST(TcpConnectionTest, ReadIntoStreamUntilCloseTakesEverything) {
    const std::string body = PatternBytes(100000);
    ScriptedPeer peer;
    peer.Accept().Send(body).Close();
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    TMemoryStream stream;
    client.ReadIntoStream(stream, -1, true);
    EXPECT_EQ(stream.Bytes().size(), body.size());
    EXPECT_TRUE(stream.Bytes() == body);
    EXPECT_EQ(stream.Position(), 100000);
    peer.Finish();
}

TEST(TcpConnectionTest, ReadIntoStreamWithACountAndWithACountPrefix) {
    const std::string body = PatternBytes(70000);
    const std::string prefix("\x00\x00\x00\x05", 4);
    ScriptedPeer peer;
    peer.Accept()
        .SendInPieces(body.substr(0, 100), 3, 40)
        .Send(body.substr(100) + prefix + "hello");
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    TMemoryStream stream;
    stream.WriteString("head");
    client.ReadIntoStream(stream, 70000);
    EXPECT_EQ(stream.Size(), 70004);
    EXPECT_TRUE(stream.Bytes().substr(4) == body);
    TMemoryStream counted;
    client.ReadIntoStream(counted);
    EXPECT_EQ(counted.Bytes(), "hello");
    peer.Finish();
}

TEST(TcpConnectionTest, ReadIntoStreamCutAtTheCloseKeepsOnlyWhatWasBuffered) {
    const std::string body = PatternBytes(600);
    ScriptedPeer peer;
    peer.Accept().Send("x\n" + body).Close();
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    ASSERT_EQ(client.ReadLine(), "x");
    const std::size_t bufferedBefore = client.PendingInput().Size();
    TMemoryStream stream;
    EXPECT_THROW(client.ReadIntoStream(stream, 1000), EIdConnClosedGracefully);
    EXPECT_EQ(stream.Size(), static_cast<std::int64_t>(bufferedBefore))
        << "the stream is not left at the preallocated 1000 bytes";
    EXPECT_EQ(stream.Position(), stream.Size());
    // The incomplete chunk stays buffered: nothing is lost.
    EXPECT_EQ(
        stream.Bytes() + std::string(client.PendingInput().Data(), client.PendingInput().Size()),
        body);
    peer.Finish();
}

// Records the largest size or room the stream was ever given.
class SizeWatchingStream : public TMemoryStream {
public:
    void SetSize(std::int64_t size) override {
        largest = std::max(largest, size);
        TMemoryStream::SetSize(size);
    }
    void Reserve(std::int64_t capacity) override {
        largest = std::max(largest, capacity);
        TMemoryStream::Reserve(capacity);
    }
    std::int64_t largest = 0;
};

TEST(TcpConnectionTest, AHostileCountDoesNotPreallocateGigabytes) {
    ScriptedPeer peer;
    peer.Accept().Send(std::string("\x7F\xFF\xFF\xFF", 4) + "tiny").Close();
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    SizeWatchingStream stream;
    EXPECT_THROW(client.ReadIntoStream(stream), EIdConnClosedGracefully);
    EXPECT_LE(stream.largest, TIdTCPConnection::kMaxStreamPresize);
    EXPECT_LE(stream.Capacity(), 2 * TIdTCPConnection::kMaxStreamPresize);
    EXPECT_EQ(stream.Bytes(), "tiny") << "what was buffered before the loop is kept";
    peer.Finish();
}

TEST(TcpConnectionTest, ReadIntoStreamReportsReadWork) {
    ScriptedPeer peer;
    peer.Accept().Send(PatternBytes(50000));
    peer.Start();
    RecordingClient client;
    std::vector<std::string> events;
    std::int32_t lastCount = 0;
    client.OnWorkBegin = [&](TIdComponent*, TWorkMode mode, std::int32_t total) {
        events.push_back("begin " + std::to_string(total) +
                         (mode == TWorkMode::wmRead ? " read" : " write"));
    };
    client.OnWork = [&](TIdComponent*, TWorkMode, std::int32_t count) { lastCount = count; };
    client.OnWorkEnd = [&](TIdComponent*, TWorkMode) { events.push_back("end"); };
    client.ConnectTo(peer);
    TMemoryStream stream;
    client.ReadIntoStream(stream, 50000);
    EXPECT_EQ(events, (std::vector<std::string>{"begin 50000 read", "end"}));
    EXPECT_EQ(lastCount, 50000);
    peer.Finish();
}

TEST(TcpConnectionTest, ReadTimeoutLeavesTheConnectionUsable) {
    ScriptedPeer peer;
    peer.Accept().Stall(400ms).Send("late\r\n");
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    client.SetReadTimeout(100);
    try {
        client.ReadLine();
        FAIL();
    } catch (const EIdReadTimeout& e) {
        EXPECT_EQ(e.Message(), "Read Timeout");
    }
    client.SetReadTimeout(0);
    EXPECT_EQ(client.ReadLine(), "late");
    peer.Finish();
}

TEST(TcpConnectionTest, AResetWhileReadingRaises10054) {
    ScriptedPeer peer;
    peer.Accept().Stall(50ms).Reset();
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    try {
        client.ReadLine();
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 10054);
        EXPECT_EQ(e.Message(), "Socket Error # 10054\r\nConnection reset by peer.");
    }
    peer.Finish();
}

TEST(TcpConnectionTest, AResetDuringSendRaisesInsteadOfKillingTheProcess) {
    ScriptedPeer peer;
    peer.Accept().Reset();
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    peer.Finish();  // the reset has been sent
    const std::string block(65536, 'z');
    int code = 0;
    for (int i = 0; i < 200 && code == 0; ++i) {
        try {
            client.WriteText(block);
        } catch (const EIdSocketError& e) {
            code = e.ErrorCode();
        }
    }
    EXPECT_EQ(code, 10054);
    EXPECT_FALSE(client.IsConnected()) << "a reset while sending releases the socket";
    EXPECT_THROW(client.WriteText("again"), EIdConnClosedGracefully);
}

TEST(TcpConnectionTest, WritingToAPeerThatClosedRaisesInsteadOfKillingTheProcess) {
    // The peer closes; the first write is answered with a reset, and the next one fails with
    // EPIPE, which would raise SIGPIPE and end the whole program without MSG_NOSIGNAL.
    ScriptedPeer peer;
    peer.Accept().Close();
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    peer.Finish();
    int code = 0;
    for (int i = 0; i < 100 && code == 0; ++i) {
        try {
            client.WriteText("data");
        } catch (const EIdSocketError& e) {
            code = e.ErrorCode();
        }
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(code, 10054);
    EXPECT_FALSE(client.IsConnected());
}

TEST(TcpConnectionTest, WritingOnAConnectionNeverOpened) {
    TIdTCPClient client;
    try {
        client.WriteLine("hello");
        FAIL();
    } catch (const EIdNotConnected& e) {
        EXPECT_EQ(e.Message(), "Not Connected");
    }
    client.WriteBytes("x", 0);  // no bytes: not even the connection check
    EXPECT_THROW(client.ReadLine(), EIdNotConnected);
}

TEST(TcpConnectionTest, OpeningAnOpenConnectionChangesNothing) {
    ScriptedPeer peer;
    peer.Accept().ExpectLine("still here");
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    try {
        client.OpenConnection();
        FAIL();
    } catch (const EIdAlreadyConnected& e) {
        EXPECT_EQ(e.Message(), "Already connected.");
    }
    client.WriteLine("still here");
    EXPECT_TRUE(peer.Finish());
}

TEST(TcpConnectionTest, CloseConnectionWithoutAConnection) {
    RecordingClient client;
    client.CloseConnection();
    EXPECT_EQ(client.statuses,
              (std::vector<TIdStatus>{TIdStatus::hsDisconnecting, TIdStatus::hsDisconnected}));
    EXPECT_EQ(client.disconnects, 1);
}

TEST(TcpConnectionTest, AFailedConnectReleasesTheSocketAndCanBeRetried) {
    ScriptedPeer peer;
    peer.Accept().ExpectLine("second try");
    peer.Start();
    RecordingClient client;
    client.SetHost("no-such-host.invalid");
    client.SetPort(peer.Port());
    try {
        client.OpenConnection();
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 11001);
    }
    ASSERT_NE(client.IOHandler(), nullptr) << "the IO handler stays until CloseConnection";
    EXPECT_FALSE(client.IOHandler()->IsConnected());
    EXPECT_FALSE(client.IsConnected());
    client.SetHost("127.0.0.1");
    client.OpenConnection();
    client.WriteLine("second try");
    EXPECT_TRUE(peer.Finish());
}

TEST(TcpConnectionTest, WriteBatchLeavesAsOneBlock) {
    ScriptedPeer peer;
    peer.Accept().ExpectLine("GET / HTTP/1.1").ExpectLine("Host: a").ExpectLine("");
    peer.Start();
    CountingIOHandler handler;
    RecordingClient client;
    client.SetIOHandler(&handler);
    client.ConnectTo(peer);
    client.BeginWriteBuffering();
    client.WriteLine("GET / HTTP/1.1");
    client.WriteLine("Host: a");
    client.WriteLine("");
    EXPECT_EQ(handler.sends, 0);
    client.EndWriteBuffering();
    EXPECT_EQ(handler.sends, 1);
    EXPECT_TRUE(peer.Finish());
}

TEST(TcpConnectionTest, WriteBatchFlushesAtItsThresholdAndCanBeDiscarded) {
    ScriptedPeer peer;
    peer.Accept().ExpectBytes("0123456789").ExpectLine("kept");
    peer.Start();
    CountingIOHandler handler;
    RecordingClient client;
    client.SetIOHandler(&handler);
    client.ConnectTo(peer);
    client.BeginWriteBuffering(10);
    client.WriteText("01234");
    EXPECT_EQ(handler.sends, 0);
    client.WriteText("56789ab");  // 12 bytes: the first 10 leave
    EXPECT_EQ(handler.sends, 1);
    client.DiscardWriteBuffering();
    client.WriteLine("kept");
    client.EndWriteBuffering();
    EXPECT_EQ(handler.sends, 2);
    EXPECT_TRUE(peer.Finish());
}

TEST(TcpConnectionTest, WriteFromStreamSendsBlocksAndNothingForAnEmptyStream) {
    const std::string body = PatternBytes(100000);
    ScriptedPeer peer;
    peer.Accept().ExpectBytes(body).ExpectBytes(std::string("\x00\x00\x00\x03", 4) + "abc");
    peer.Start();
    CountingIOHandler handler;
    RecordingClient client;
    client.SetIOHandler(&handler);
    client.ConnectTo(peer);
    TMemoryStream empty;
    client.WriteFromStream(empty);
    EXPECT_EQ(handler.sends, 0);
    TMemoryStream stream(body);
    stream.SetPosition(500);
    client.WriteFromStream(stream);  // from the start
    EXPECT_EQ(handler.sends, 4);     // blocks of 32768 bytes
    TMemoryStream small("xxabcyy");
    small.SetPosition(2);
    client.WriteFromStream(small, false, true, 3);
    EXPECT_TRUE(peer.Finish());
}

// A stream that claims 10 more bytes than it yields (a file cut while being sent).
class ShortStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    std::int64_t Size() const override { return RealSize() + 10; }
    std::int64_t Read(void* buffer, std::int64_t count) override {
        const std::int64_t left = RealSize() - Position();
        return left <= 0 ? 0 : TMemoryStream::Read(buffer, std::min(count, left));
    }

private:
    std::int64_t RealSize() const { return static_cast<std::int64_t>(Bytes().size()); }
};

TEST(TcpConnectionTest, WriteFromStreamOfAShortStreamRaisesNoDataToRead) {
    ScriptedPeer peer;
    peer.Accept().ExpectBytes("abc");
    peer.Start();
    RecordingClient client;
    int ends = 0;
    client.OnWorkEnd = [&](TIdComponent*, TWorkMode) { ++ends; };
    client.ConnectTo(peer);
    ShortStream stream("abc");
    try {
        client.WriteFromStream(stream);
        FAIL();
    } catch (const EIdNoDataToRead& e) {
        EXPECT_EQ(e.Message(), "No data to read.");
    }
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(peer.Finish());
}

void IgnoreSignal(int) {}

TEST(TcpConnectionTest, ASignalDuringAWaitIsNotAnError) {
    // A handler installed without SA_RESTART makes every blocking call return EINTR.
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = IgnoreSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR1, &action, &previous);
    ScriptedPeer peer;
    peer.Accept().Stall(300ms).Send("after the signal\r\n");
    peer.Start();
    RecordingClient client;
    client.ConnectTo(peer);
    const pthread_t reader = ::pthread_self();
    std::thread signaller([reader] {
        std::this_thread::sleep_for(100ms);
        ::pthread_kill(reader, SIGUSR1);
    });
    std::string line;
    EXPECT_NO_THROW(line = client.ReadLine());
    EXPECT_EQ(line, "after the signal");
    signaller.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    peer.Finish();
}

TEST(ManagedBufferTest, CompactsOnlyAfter32768ConsumedBytes) {
    TIdManagedBuffer buffer;
    std::size_t removed = 0;
    buffer.OnRemoved = [&](std::size_t n) { removed += n; };
    const std::string bytes = PatternBytes(40000);
    buffer.Append(bytes.data(), bytes.size());
    buffer.Remove(32767);
    EXPECT_EQ(buffer.ConsumedCount(), 32767u);
    EXPECT_EQ(buffer.Length(), 40000u) << "no move before the threshold";
    EXPECT_EQ(buffer.Extract(2), bytes.substr(32767, 2));
    EXPECT_EQ(buffer.ConsumedCount(), 0u);
    EXPECT_EQ(buffer.Length(), 40000u - 32769u);
    EXPECT_EQ(std::string(buffer.Data(), buffer.Size()), bytes.substr(32769));
    EXPECT_EQ(removed, 32769u);
    try {
        buffer.Remove(buffer.Size() + 1);
        FAIL();
    } catch (const EIdNotEnoughDataInBuffer& e) {
        EXPECT_EQ(e.Message(), "Not enough data in buffer.");
    }
    buffer.Remove(buffer.Size());
    EXPECT_EQ(buffer.Length(), 0u);
    EXPECT_EQ(buffer.ConsumedCount(), 0u);
}

}  // namespace
}  // namespace velomaris
