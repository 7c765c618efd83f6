// Shared by the tests of the HTTP client against a scripted peer: the peer's addresses, the
// request head this program sends, a small answer, and fetching with the client.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "http/IdHTTP.h"
#include "platform/Stream.h"
#include "tests/support/ScriptedPeer.h"

namespace velomaris::httptest {

inline std::string Url(const ScriptedPeer& peer, const std::string& path = "/") {
    return "http://127.0.0.1:" + std::to_string(peer.Port()) + path;
}

// The request head this program sends for a GET of target, with extra header lines (each
// ending in CR LF) before the empty line.
inline std::string RequestHead(const ScriptedPeer& peer, const std::string& target = "/",
                               const std::string& extraHeaders = "") {
    return "GET " + target +
           " HTTP/1.1\r\n"
           "Content-Type: text/html\r\n"
           "Host: 127.0.0.1:" +
           std::to_string(peer.Port()) +
           "\r\n"
           "Accept: text/html, */*\r\n"
           "User-Agent: Mozilla/3.0 (compatible; Velomaris)\r\n" +
           extraHeaders + "\r\n";
}

// A 200 response with the given extra header lines (each ending in CR LF) and body "ok".
inline std::string Ok(const std::string& headers = "") {
    return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: 2\r\n\r\nok";
}

// Fetches url into a fresh stream, which must end up positioned after the body.
inline std::string Get(TIdCustomHTTP& http, const std::string& url) {
    TMemoryStream stream;
    http.GetToStream(url, stream);
    EXPECT_EQ(stream.Position(), stream.Size());
    return stream.Bytes();
}

// Runs call, which must raise EIdHTTPProtocolException, and returns the exception.
template <typename Call>
EIdHTTPProtocolException ExpectProtocolError(Call call) {
    try {
        call();
    } catch (const EIdHTTPProtocolException& error) {
        return error;
    }
    ADD_FAILURE() << "no EIdHTTPProtocolException";
    return EIdHTTPProtocolException(0, "", "");
}

}  // namespace velomaris::httptest
