#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"
#include "net/IdStack.h"
#include "net/IdTCPClient.h"
#include "tests/support/LoopbackSocket.h"

namespace velomaris {
namespace {

TEST(SocketLayerTest, TranslatesCodesWithTheirTexts) {
    struct Row {
        int code;
        const char* text;
    } rows[] = {
        {10004, "Interrupted system call."},
        {10035, "Operation would block. "},  // the text ends with a blank
        {10038, "Socket operation on non-socket."},
        {10048, "Address already in use."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10058, "Cannot send or receive after socket is closed."},
        {10061, "Connection refused."},
        {10066, "Directory not empty"},  // no full stop
        {11001, "Host not found."},
        {10101, ""},  // not in the table: the number and an empty second line
        {0, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TranslateSocketError(row.code),
                  "Socket Error # " + std::to_string(row.code) + "\r\n" + row.text)
            << row.code;
    }
}

TEST(SocketLayerTest, MapsNativeErrorsOntoWindowsSocketsNumbers) {
    struct Row {
        int native;
        int winsock;
    } rows[] = {
        {EINTR, 10004},           {EBADF, 10009},           {EACCES, 10013},
        {EFAULT, 10014},          {EINVAL, 10022},          {EMFILE, 10024},
        {EAGAIN, 10035},          {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},
        {EALREADY, 10037},        {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},
        {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
        {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
        {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},        {ENETUNREACH, 10051},
        {ENETRESET, 10052},       {ECONNABORTED, 10053},    {ECONNRESET, 10054},
        {EPIPE, 10054},           {ENOBUFS, 10055},         {EISCONN, 10056},
        {ENOTCONN, 10057},        {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059},
        {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061},    {ELOOP, 10062},
        {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065},
        {ENOTEMPTY, 10066},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(WinsockErrorFromErrno(row.native), row.winsock) << std::strerror(row.native);
    }
}

TEST(SocketLayerTest, RecognisesDottedAddresses) {
    struct Row {
        const char* text;
        bool dotted;
    } rows[] = {
        {"127.0.0.1", true},   {"0.0.0.0", true}, {"255.255.255.255", true},
        {"10.0.0.256", false}, {"1.2.3", false},  {"1.2.3.4.5", false},
        {"a.b.c.d", false},    {"1..2.3", false}, {"example.invalid", false},
        {"1.2.3.-1", false},   {"", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IsDottedAddress(row.text), row.dotted) << row.text;
    }
}

TEST(SocketLayerTest, ConvertsAddressesBothWays) {
    EXPECT_EQ(TextFromAddress(AddressFromText("192.168.1.5")), "192.168.1.5");
    EXPECT_EQ(AddressFromText("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_THROW(AddressFromText("1.2.x.4"), EConvertError);
}

TEST(SocketLayerTest, LooksUpHostsWithoutAskingForLocalhostOrDottedAddresses) {
    SocketLayerReference layer;
    for (const char* name : {"localhost", "LocalHost", "LOCALHOST"}) {
        EXPECT_EQ(layer.Stack().LookupHost(name), "127.0.0.1") << name;
    }
    EXPECT_EQ(layer.Stack().LookupHost("10.1.2.3"), "10.1.2.3");
    try {
        layer.Stack().LookupHost("no-such-host.invalid");
        FAIL() << "a name under .invalid resolved";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 11001);
        EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
        EXPECT_EQ(layer.Stack().LastSocketError(), 11001);
    }
}

TEST(SocketLayerTest, CheckSocketResultIgnoresListedCodesAndRaisesOthers) {
    SocketLayerReference layer;
    EXPECT_FALSE(layer.Stack().CheckSocketResult(0));
    EXPECT_FALSE(layer.Stack().CheckSocketResult(5, {10004}));
    SetPendingSocketError(10004);
    EXPECT_TRUE(layer.Stack().CheckSocketResult(-1, {10038, 10004}));
    EXPECT_EQ(layer.Stack().LastSocketError(), 10004);
    SetPendingSocketError(10054);
    try {
        layer.Stack().CheckSocketResult(-1, {10004});
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 10054);
        EXPECT_EQ(e.Message(), "Socket Error # 10054\r\nConnection reset by peer.");
    }
}

TEST(SocketLayerTest, LastSocketErrorBelongsToEachThread) {
    SocketLayerReference layer;
    SetPendingSocketError(10061);
    layer.Stack().CheckSocketResult(-1, {10061});
    int otherThreadsError = -1;
    std::thread other([&] {
        SetPendingSocketError(10054);
        layer.Stack().CheckSocketResult(-1, {10054});
        otherThreadsError = layer.Stack().LastSocketError();
    });
    other.join();
    EXPECT_EQ(otherThreadsError, 10054);
    EXPECT_EQ(layer.Stack().LastSocketError(), 10061);
}

TEST(SocketLayerTest, LiveComponentsKeepTheSocketLayer) {
    const int before = LiveComponentCount();
    ASSERT_EQ(before, 0) << "a component of another test is still alive";
    EXPECT_EQ(SocketLayer(), nullptr);
    {
        auto first = std::make_unique<TIdTCPClient>();
        TIdStack* layer = SocketLayer();
        ASSERT_NE(layer, nullptr);
        {
            TIdTCPClient second;
            EXPECT_EQ(LiveComponentCount(), 2);
            EXPECT_EQ(SocketLayer(), layer);
        }
        EXPECT_EQ(LiveComponentCount(), 1);
        EXPECT_EQ(SocketLayer(), layer);
    }
    EXPECT_EQ(LiveComponentCount(), 0);
    EXPECT_EQ(SocketLayer(), nullptr);
}

// A port on which nothing listens: bound but never listening, so a connect is refused.
using UnusedPort = LoopbackSocket;

TEST(SocketLayerTest, RefusedConnectionRaises10061) {
    UnusedPort unused;
    TIdIOHandlerSocket handler;
    handler.OpenEndpoint();
    try {
        handler.ConnectTo("127.0.0.1", unused.Port(), -1, "", 0);
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 10061);
        EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
    }
    // The socket was created and bound before the connect: the caller releases it.
    EXPECT_TRUE(handler.IsConnected());
    handler.CloseEndpoint();
    EXPECT_FALSE(handler.IsConnected());
}

TEST(SocketLayerTest, ReportsResolvingOnlyForNamesAndConnectingWithTheAddress) {
    UnusedPort unused;
    TIdIOHandlerSocket handler;
    std::vector<std::string> statuses;
    handler.OnStatus = [&](TIdComponent*, TIdStatus, const std::string& text) {
        statuses.push_back(text);
    };
    handler.OpenEndpoint();
    EXPECT_THROW(handler.ConnectTo("localhost", unused.Port(), -1, "", 0), EIdSocketError);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Resolving hostname localhost.",
                                                  "Connecting to 127.0.0.1."}));
    statuses.clear();
    EXPECT_THROW(handler.ConnectTo("127.0.0.1", unused.Port(), -1, "", 0), EIdSocketError);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Connecting to 127.0.0.1."}));
}

TEST(SocketLayerTest, ShutAndCloseTwiceDoesNothingTheSecondTime) {
    SocketLayerReference layer;
    TIdSocketHandle handle(layer.Stack());
    handle.CreateSocket();
    handle.BindSocket();
    const int port = handle.Port;
    EXPECT_GT(port, 0);
    EXPECT_EQ(handle.IP, "0.0.0.0");
    handle.ShutAndClose();
    EXPECT_FALSE(handle.IsOpen());
    handle.ShutAndClose();
    EXPECT_FALSE(handle.IsOpen());
    EXPECT_EQ(handle.Port, port) << "the recorded addresses stay";
    EXPECT_THROW(handle.WaitReadable(0), EIdConnClosedGracefully);
}

TEST(SocketLayerTest, BindingAPortInUseRaisesCouldNotBind) {
    SocketLayerReference layer;
    TIdSocketHandle first(layer.Stack());
    first.CreateSocket();
    first.IP = "127.0.0.1";
    first.BindSocket();
    first.ListenSocket(1);
    TIdSocketHandle second(layer.Stack());
    second.CreateSocket();
    second.IP = "127.0.0.1";
    second.Port = first.Port;
    try {
        second.BindSocket();
        FAIL();
    } catch (const EIdCouldNotBindSocket& e) {
        EXPECT_EQ(e.Message(), "Could not bind socket. Address and port are already in use.");
    }
}

TEST(SocketLayerTest, AcceptOnAClosedListenerReturnsFalse) {
    SocketLayerReference layer;
    TIdSocketHandle handle(layer.Stack());
    int notASocket = ::dup(0);  // standard input: a descriptor but no socket
    EXPECT_FALSE(handle.AcceptSocket(notASocket));
    ::close(notASocket);
}

TEST(SocketLayerTest, IOHandlerRefusesDataOnAClosedSocket) {
    TIdIOHandlerSocket handler;
    char byte = 0;
    EXPECT_THROW(handler.ReceiveData(&byte, 1), EIdClosedSocket);
    handler.OpenEndpoint();
    try {
        handler.SendData(&byte, 1);
        FAIL();
    } catch (const EIdClosedSocket& e) {
        EXPECT_EQ(e.Message(), "Disconnected.");
    }
}

TEST(SocketLayerTest, ExceptionClassTree) {
    const EIdException& init = EIdStackInitializationFailed();
    EXPECT_NE(dynamic_cast<const EIdStackError*>(&init), nullptr);
    EXPECT_EQ(init.Message(), "Winsock Initialization Error.");
    const EIdException& bind = EIdCouldNotBindSocket();
    EXPECT_NE(dynamic_cast<const EIdSocketHandleError*>(&bind), nullptr);
    const Exception& closed = EIdConnClosedGracefully();
    EXPECT_NE(dynamic_cast<const EIdSilentException*>(&closed), nullptr);
    const EIdException& notConnected = EIdNotConnected();
    EXPECT_NE(dynamic_cast<const EIdTCPConnectionError*>(&notConnected), nullptr);
}

}  // namespace
}  // namespace velomaris
