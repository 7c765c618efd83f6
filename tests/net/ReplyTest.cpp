#include <gtest/gtest.h>

#include "net/IdRFCReply.h"
#include "net/IdTCPClient.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris {
namespace {

TEST(ReplyTest, ParseReplyTakesTheCodeAndTheTextOfEachLine) {
    struct Row {
        std::vector<std::string> lines;
        int numeric;
        std::string textCode;
        std::vector<std::string> text;
    } rows[] = {
        {{"220 FTP ready"}, 220, "220", {"FTP ready"}},
        {{"220"}, 220, "220", {""}},
        {{"230-Welcome", "middle line", "230 Done"}, 230, "230", {"Welcome", "le line", "Done"}},
        {{"2201 four digits"}, 2201, "2201", {" four digits"}},  // text from the 5th byte
        {{"abc not a number"}, 0, "abc", {"not a number"}},
        {{"2a1-x"}, 0, "2a1", {"x"}},
        {{}, 0, "", {}},
    };
    for (const Row& row : rows) {
        TIdRFCReply reply;
        reply.SetNumericCode(999);
        reply.ParseReply(row.lines);
        EXPECT_EQ(reply.NumericCode(), row.numeric) << row.textCode;
        EXPECT_EQ(reply.TextCode(), row.textCode);
        EXPECT_EQ(reply.Text, row.text) << row.textCode;
    }
}

TEST(ReplyTest, CodesSetEachOther) {
    TIdRFCReply reply;
    reply.SetNumericCode(331);
    EXPECT_EQ(reply.TextCode(), "331");
    reply.SetNumericCode(0);
    EXPECT_EQ(reply.TextCode(), "331") << "0 leaves the text code alone";
    reply.SetTextCode("xyz");
    EXPECT_EQ(reply.NumericCode(), 0);
    reply.SetNumericCode(5);
    reply.SetTextCode("");
    EXPECT_EQ(reply.NumericCode(), 5) << "an empty text leaves the number alone";
    TIdRFCReply copy;
    reply.Text = {"a"};
    copy.Assign(reply);
    EXPECT_EQ(copy.NumericCode(), 5);
    EXPECT_EQ(copy.Text, reply.Text);
}

// One client on a scripted peer for the exchange tests.
class ExchangeTest : public ::testing::Test {
protected:
    void Connect() {
        peer.Start();
        client.ConnectTo(peer);
    }
    ScriptedPeer peer;
    RecordingClient client;
};

TEST_F(ExchangeTest, MultiLineRepliesAreReadWhole) {
    peer.Accept().SendInPieces("\r\n  \r\n230-Welcome\r\n here\r\n230 Done \r\n", 5, 4);
    Connect();
    EXPECT_EQ(client.ReadReply({230}), 230);
    EXPECT_EQ(client.LastReply().Text, (std::vector<std::string>{"Welcome", "", "Done"}))
        << "empty lines are skipped, every line is trimmed before its 4 bytes are cut";
    EXPECT_TRUE(peer.Finish());
}

TEST_F(ExchangeTest, AShortMiddleLineEndsTheReplyEarly) {
    peer.Accept().Send("230-first\r\nok\r\n230 last\r\n");
    Connect();
    EXPECT_EQ(client.ReadReply({230}), 230);
    EXPECT_EQ(client.LastReply().Text, (std::vector<std::string>{"first", ""}));
    // The rest of that reply is taken as the next one.
    EXPECT_EQ(client.ReadReply({230}), 230);
    EXPECT_EQ(client.LastReply().Text, std::vector<std::string>{"last"});
    EXPECT_TRUE(peer.Finish());
}

TEST_F(ExchangeTest, TheEndOfAMultiLineReplyIgnoresCase) {
    peer.Accept().Send("2a1-start\r\n2A1 end\r\n220 next\r\n");
    Connect();
    client.ReadRawReply();
    EXPECT_EQ(client.LastReply().Text, (std::vector<std::string>{"start", "end"}));
    EXPECT_EQ(client.ReadReply({220}), 220);
    EXPECT_TRUE(peer.Finish());
}

TEST_F(ExchangeTest, ARejectedReplyRaisesWithItsCodeAndText) {
    peer.Accept()
        .ExpectLine("CWD /missing")
        .Send("550-No such\r\n550 directory\r\n")
        .ExpectLine("NOOP")
        .Send("hello there\r\n")
        .ExpectLine("NOOP")
        .Send("200 fine\r\n");
    Connect();
    try {
        client.SendCommand("CWD /missing", {200, 250});
        FAIL();
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
        EXPECT_EQ(e.Message(), "No such\r\ndirectory\r\n");
        EXPECT_EQ(client.LastReply().NumericCode(), 550);
    }
    try {
        client.SendCommand("NOOP", 200);
        FAIL();
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode(), 0) << "a reply without a numeric code";
        EXPECT_EQ(e.Message(), "o there\r\n");
    }
    EXPECT_EQ(client.SendCommand("NOOP", 200), 200) << "the exchange stays in step";
    EXPECT_TRUE(peer.Finish());
}

TEST_F(ExchangeTest, TheSingleCodeMinusOneAcceptsAnything) {
    peer.Accept()
        .ExpectLine("A")
        .Send("2201 long code\r\n")
        .ExpectLine("B")
        .Send("599 odd\r\n")
        .ExpectLine("C")
        .Send("what\r\n");
    Connect();
    EXPECT_EQ(client.SendCommand("A", -1), 2201);
    EXPECT_EQ(client.LastReply().NumericCode(), 2201);
    EXPECT_EQ(client.SendCommand("B", -1), 599);
    EXPECT_EQ(client.SendCommand("C", TIdReplyCodes{}), 0);
    EXPECT_TRUE(peer.Finish());
}

TEST_F(ExchangeTest, AServerClosingInsteadOfAnsweringRaisesClosedGracefully) {
    peer.Accept().ExpectLine("PWD").Close();
    Connect();
    EXPECT_THROW(client.SendCommand("PWD", 257), EIdConnClosedGracefully);
    EXPECT_TRUE(peer.Finish());
}

TEST_F(ExchangeTest, ReadNonEmptyLineGivesUpAfterItsAttempts) {
    peer.Accept().Send("\r\n \r\n\t\r\n  text  \r\n");
    Connect();
    EXPECT_EQ(client.ReadNonEmptyLine(2), "");
    EXPECT_EQ(client.ReadNonEmptyLine(5), "text");
    EXPECT_TRUE(peer.Finish());
}

}  // namespace
}  // namespace velomaris
