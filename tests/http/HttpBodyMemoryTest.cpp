// How the HTTP client fills a memory stream: room taken once for an announced length (never
// beyond the body limit), a chunked body growing the stream geometrically, nothing written
// ahead of the bytes that arrived.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "http/IdHTTP.h"
#include "tests/http/HttpClientTestSupport.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris {
namespace {

using namespace httptest;

// Records what the client asks of the stream.
class WatchingStream : public TMemoryStream {
public:
    void Reserve(std::int64_t capacity) override {
        reservations.push_back(capacity);
        const std::int64_t before = Capacity();
        TMemoryStream::Reserve(capacity);
        moves += Capacity() != before ? 1 : 0;
    }
    void SetSize(std::int64_t size) override {
        largestSetSize = std::max(largestSetSize, size);
        TMemoryStream::SetSize(size);
    }
    std::int64_t Write(const void* buffer, std::int64_t count) override {
        const std::int64_t before = Capacity();
        const std::int64_t written = TMemoryStream::Write(buffer, count);
        moves += Capacity() != before ? 1 : 0;
        return written;
    }
    std::vector<std::int64_t> reservations;
    std::int64_t largestSetSize = 0;
    int moves = 0;  // times the storage was replaced
};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + i % 23);
    }
    return bytes;
}

TEST(HttpBodyMemoryTest, AnAnnouncedLengthIsReservedOnceAndNeverWrittenAhead) {
    const std::string body = Pattern(300000);
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n" + body);
    peer.Start();
    TIdHTTP http;
    WatchingStream stream;
    stream.WriteString("pre");
    http.GetToStream(Url(peer), stream);
    EXPECT_TRUE(stream.Bytes() == "pre" + body);
    ASSERT_FALSE(stream.reservations.empty());
    EXPECT_EQ(stream.reservations.front(), 3 + 300000) << "the whole body after the position";
    EXPECT_EQ(stream.moves, 1) << "one reservation, and the writes fit it";
    EXPECT_EQ(stream.largestSetSize, 0) << "no zero-filled pre-size";
    EXPECT_TRUE(peer.Finish());
}

TEST(HttpBodyMemoryTest, TheReservationNeverExceedsTheBodyLimit) {
    ScriptedPeer peer;
    peer.Accept()
        .ExpectBytes(RequestHead(peer))
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + Pattern(5000));
    peer.Start();
    TIdHTTP http;
    http.MaxBodyBytes = 4096;
    WatchingStream stream;
    EXPECT_THROW(http.GetToStream(Url(peer), stream), EIdHTTPResponseTooLarge);
    for (std::int64_t r : stream.reservations) {
        EXPECT_LE(r, 4096);
    }
    EXPECT_LE(stream.Capacity(), 4096);
    peer.Finish();
}

TEST(HttpBodyMemoryTest, AChunkedBodyGrowsTheStreamGeometricallyNotPerChunk) {
    std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    std::string body;
    for (int i = 0; i < 400; ++i) {
        const std::string chunk = Pattern(1000 + static_cast<size_t>(i));
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        wire += size + chunk + "\r\n";
        body += chunk;
    }
    wire += "0\r\n\r\n";
    ScriptedPeer peer;
    peer.Accept().ExpectBytes(RequestHead(peer)).Send(wire);
    peer.Start();
    TIdHTTP http;
    WatchingStream stream;
    http.GetToStream(Url(peer), stream);
    EXPECT_TRUE(stream.Bytes() == body);
    // 400 chunks, about 600 KB: doubling moves the storage some 16 times, per-chunk growth 400.
    EXPECT_LE(stream.moves, 24);
    EXPECT_EQ(stream.largestSetSize, 0);
    EXPECT_TRUE(peer.Finish());
}

}  // namespace
}  // namespace velomaris
