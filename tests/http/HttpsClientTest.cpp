// The HTTP client with the secure transport against a real TLS server on loopback (Python's
// ssl module) whose certificates a test CA made at test time: what is accepted, what is
// refused and why, pinning, redirects between http and https, and secure-only cookies.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "http/IdHTTP.h"
#include "net/IdSSLOpenSSL.h"
#include "tests/support/FileBytes.h"
#include "tests/support/HttpsServerFixture.h"
#include "tests/support/LoopbackSocket.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TlsTestCertificates.h"

namespace velomaris {
namespace {

using testing::PatternBytes;

class HttpsClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates_ = new TlsTestCertificates(); }
    static void TearDownTestSuite() {
        delete certificates_;
        certificates_ = nullptr;
    }

    void SetUp() override {
        // The test CA is trusted by these tests only, the way any OpenSSL program is told.
        environment_.Set("SSL_CERT_FILE", certificates_->CaFile());
        environment_.Set("SSL_CERT_DIR", certificates_->Directory().Directory() + "/none");
    }

    static std::string Fetch(TIdHTTP& http, const std::string& url) {
        TMemoryStream stream;
        http.GetToStream(url, stream);
        return stream.Bytes();
    }

    // The TLS failure of fetching url from a server with the kind's certificate; empty reason
    // when the fetch succeeded.
    static EIdTLSError FailureOf(const std::string& kind, const std::string& host,
                                 const std::string& pin = std::string()) {
        HttpsServerFixture server(certificates_->CertFile(kind), certificates_->KeyFile(kind));
        TIdSSLIOHandlerSocketOpenSSL secure;
        secure.SetCertificatePin(pin);
        TIdHTTP http;
        http.SetIOHandler(&secure);
        try {
            Fetch(http, server.SecureUrl("/page", host));
        } catch (const EIdTLSError& error) {
            return error;
        }
        return EIdTLSError("", "", "");
    }

    static TlsTestCertificates* certificates_;
    testing::ScopedEnvironment environment_;
};

TlsTestCertificates* HttpsClientTest::certificates_ = nullptr;

TEST_F(HttpsClientTest, AVerifiedPageArrivesWholeAndTheConnectionCarriesTheNextRequest) {
    HttpsServerFixture server(certificates_->CertFile("good"), certificates_->KeyFile("good"));
    TIdSSLIOHandlerSocketOpenSSL secure;
    TIdHTTP http;
    http.SetIOHandler(&secure);
    EXPECT_EQ(Fetch(http, server.SecureUrl("/page")), "<html><body>PAGE over https</body></html>");
    EXPECT_TRUE(secure.Secured());
    // Larger than many TLS records and than the 32 KiB receive block: no byte lost or doubled.
    const std::string big = Fetch(http, server.SecureUrl("/big?n=300000"));
    EXPECT_EQ(big.size(), 300000u);
    EXPECT_TRUE(big == PatternBytes(300000));
    // The certificate names 127.0.0.1 too: an address is checked against its IP entries.
    EXPECT_EQ(Fetch(http, server.SecureUrl("/page", "127.0.0.1")),
              "<html><body>PAGE over https</body></html>");
}

TEST_F(HttpsClientTest, ACertificateThatFailsVerificationIsRefusedWithItsReasonAndFingerprint) {
    struct Case {
        const char* kind;
        const char* reason;
    };
    const Case cases[] = {
        {"expired", "certificate has expired"},
        {"wrongname", "hostname mismatch"},
        {"unknown", "unable to get local issuer certificate"},
    };
    for (const Case& c : cases) {
        const EIdTLSError error = FailureOf(c.kind, "localhost");
        EXPECT_EQ(error.Reason(), c.reason) << c.kind;
        EXPECT_EQ(error.Fingerprint(), certificates_->Fingerprint(c.kind)) << c.kind;
        const std::string message = error.Message();
        EXPECT_NE(message.find("localhost"), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_NE(message.find(certificates_->Fingerprint(c.kind)), std::string::npos) << message;
    }
}

TEST_F(HttpsClientTest, WithoutTheTestCaTheSystemTrustStoreDoesNotVouchForTheServer) {
    environment_.Restore();
    environment_.Set("SSL_CERT_FILE", certificates_->Directory().File("no-such-file.pem"));
    EXPECT_EQ(FailureOf("good", "localhost").Reason(), "unable to get local issuer certificate");
}

TEST_F(HttpsClientTest, OnlyTheMatchingPinLetsAnUnverifiedCertificateThrough) {
    const std::string pin = certificates_->Fingerprint("unknown");
    // Written in lower case without colons, as a user may copy it.
    std::string bare;
    for (char c : pin) {
        if (c != ':') {
            bare += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    EXPECT_EQ(FailureOf("unknown", "localhost", pin).Reason(), "");
    EXPECT_EQ(FailureOf("unknown", "localhost", bare).Reason(), "");
    // The pin of another certificate changes nothing, and the message says it did not match.
    const EIdTLSError wrong = FailureOf("unknown", "localhost", certificates_->Fingerprint("good"));
    EXPECT_EQ(wrong.Reason(), "unable to get local issuer certificate");
    EXPECT_NE(wrong.Message().find("does not match the pinned fingerprint"), std::string::npos);
}

TEST_F(HttpsClientTest, APlainServerRefusesTheHandshakeWithATlsError) {
    HttpsServerFixture server(certificates_->CertFile("good"), certificates_->KeyFile("good"));
    TIdSSLIOHandlerSocketOpenSSL secure;
    TIdHTTP http;
    http.SetIOHandler(&secure);
    const std::string wrongScheme =
        "https://localhost:" + std::to_string(server.PlainPort()) + "/page";
    try {
        Fetch(http, wrongScheme);
        FAIL() << "a plain HTTP server completed a TLS handshake";
    } catch (const EIdTLSError& error) {
        EXPECT_NE(error.Message().find("TLS handshake with localhost failed"), std::string::npos)
            << error.Message();
        EXPECT_FALSE(error.Reason().empty());
        EXPECT_EQ(error.Fingerprint(), "");
    }
    // The client is still usable for the right scheme afterwards.
    EXPECT_EQ(Fetch(http, server.SecureUrl("/page")), "<html><body>PAGE over https</body></html>");
}

TEST_F(HttpsClientTest, RedirectsCrossBetweenHttpAndHttpsOnTheSameClient) {
    HttpsServerFixture server(certificates_->CertFile("good"), certificates_->KeyFile("good"));
    TIdSSLIOHandlerSocketOpenSSL secure;
    TIdHTTP http;
    http.SetIOHandler(&secure);
    http.HandleRedirects = true;
    EXPECT_EQ(Fetch(http, server.PlainUrl("/to?url=" + server.SecureUrl("/page"))),
              "<html><body>PAGE over https</body></html>");
    EXPECT_EQ(Fetch(http, server.SecureUrl("/to?url=" + server.PlainUrl("/page"))),
              "<html><body>PAGE over http</body></html>");
}

TEST_F(HttpsClientTest, ASecureOnlyCookieGoesOverHttpsAndNeverOverHttp) {
    HttpsServerFixture server(certificates_->CertFile("good"), certificates_->KeyFile("good"));
    TIdSSLIOHandlerSocketOpenSSL secure;
    TIdHTTP http;
    http.SetIOHandler(&secure);
    Fetch(http, server.SecureUrl("/setcookies"));
    EXPECT_EQ(Fetch(http, server.PlainUrl("/cookies")), "<html><body>plain=1</body></html>");
    const std::string overTls = Fetch(http, server.SecureUrl("/cookies"));
    EXPECT_NE(overTls.find("plain=1"), std::string::npos) << overTls;
    EXPECT_NE(overTls.find("safe=2"), std::string::npos) << overTls;
}

TEST_F(HttpsClientTest, TheReadTimeOutBoundsTheHandshakeAndEveryWaitForData) {
    // A peer that accepts the connection and never answers the client's hello.
    LoopbackSocket silent;
    silent.Listen(4);
    HttpsServerFixture server(certificates_->CertFile("good"), certificates_->KeyFile("good"));
    TIdSSLIOHandlerSocketOpenSSL secure;
    TIdHTTP http;
    http.SetIOHandler(&secure);
    http.SetReadTimeout(300);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(Fetch(http, "https://127.0.0.1:" + std::to_string(silent.Port()) + "/"),
                 EIdReadTimeout);
    // A server that stops sending in the middle of the body.
    EXPECT_THROW(Fetch(http, server.SecureUrl("/stall")), EIdReadTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST(CertificatePinTest, PinTextsAreNormalisedOrRefused) {
    const std::string upper(64, 'A');
    std::string colons;
    for (int i = 0; i < 32; ++i) {
        colons += (i > 0 ? ":" : "") + std::string("ab");
    }
    std::string expected;
    for (int i = 0; i < 32; ++i) {
        expected += (i > 0 ? ":" : "") + std::string("AB");
    }
    EXPECT_EQ(TIdSSLIOHandlerSocketOpenSSL::NormalizeFingerprint(colons), expected);
    EXPECT_EQ(TIdSSLIOHandlerSocketOpenSSL::NormalizeFingerprint(std::string(64, 'b')).size(), 95u);
    const std::string refused[] = {
        std::string(63, 'A'),        // a digit short
        std::string(66, 'A'),        // a byte too many
        std::string(63, 'A') + "G",  // not hexadecimal
        upper + " ",                 // a blank
        std::string(40, 'A'),        // a SHA-1 fingerprint
    };
    for (const std::string& text : refused) {
        EXPECT_THROW(TIdSSLIOHandlerSocketOpenSSL::NormalizeFingerprint(text), EIdTLSInvalidPin)
            << text;
    }
}

}  // namespace
}  // namespace velomaris
