// Authenticators that answer an HTTP authentication challenge, and the registry that maps a
// challenge's scheme name ("Basic") to the authenticator class that handles it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "http/IdHeaderList.h"
#include "net/IdException.h"

namespace velomaris {

// What an authenticator wants the client to do next with a challenge.
enum class TIdAuthWhatsNext {
    wnAskTheProgram,  // credentials are missing: ask the program's authorization handler
    wnDoRequest,      // send the request again with the authorization value
    wnFail,           // give up
};

// The base of all authenticators. User name and password are kept as header lines in
// NamedValues ("Username: ...", "Password: ..."), so they are read back ignoring case.
class TIdAuthentication {
public:
    TIdAuthentication() = default;
    virtual ~TIdAuthentication() = default;
    TIdAuthentication(const TIdAuthentication&) = delete;
    TIdAuthentication& operator=(const TIdAuthentication&) = delete;

    // The class name the registry reports for this authenticator.
    virtual std::string ClassName() const = 0;
    // Reads the challenge (ChallengeLines) and decides the next step.
    virtual TIdAuthWhatsNext Next() = 0;
    // How many steps a full exchange takes; the client drops an authenticator that has done
    // them all when the connection closes.
    virtual int Steps() const { return 0; }
    virtual void SetPassword(std::string_view password);
    virtual void SetUsername(std::string_view username);
    virtual void Reset() {}
    // The value of the "Authorization" (or "Proxy-Authorization") header.
    virtual std::string Authentication() = 0;
    // Whether the exchange must stay on the same connection.
    virtual bool KeepAlive() const = 0;

    std::string Username() const { return NamedValues.HeaderValue("username"); }
    std::string Password() const { return NamedValues.HeaderValue("password"); }

    // The challenge lines of the response, one challenge per line (a copy).
    void SetChallengeLines(const TIdHeaderList& challenges);
    const TIdHeaderList* ChallengeLines() const { return challengeLines_.get(); }

    TIdHeaderList NamedValues;
    int CurrentStep = 0;

private:
    std::unique_ptr<TIdHeaderList> challengeLines_;
};

// RFC 7617 Basic: "Basic " and the base64 of "user:password", sent with every request.
class TIdBasicAuthentication : public TIdAuthentication {
public:
    std::string ClassName() const override { return "TIdBasicAuthentication"; }
    TIdAuthWhatsNext Next() override;
    int Steps() const override { return 1; }
    void Reset() override { CurrentStep = 0; }
    std::string Authentication() override;
    bool KeepAlive() const override { return false; }

    // The realm of the last challenge read by Next(), without its quotes.
    const std::string& Realm() const { return realm_; }

private:
    std::string realm_;
};

// An authenticator class as the registry knows it: its name and how to make one.
struct TIdAuthenticationClass {
    std::string ClassName;
    std::function<std::unique_ptr<TIdAuthentication>()> Create;
};

class EIdAlreadyRegisteredAuthenticationMethod : public EIdException {
public:
    using EIdException::EIdException;
};

// The process-wide scheme registry, which starts with "Basic" for TIdBasicAuthentication.
// Names compare ignoring case. Registering a name that is present raises
// EIdAlreadyRegisteredAuthenticationMethod. Safe to use from several threads.
void RegisterAuthenticationMethod(std::string_view scheme, TIdAuthenticationClass authClass);
void UnregisterAuthenticationMethod(std::string_view scheme);
// The class registered for the scheme; empty (no Create) when none is.
TIdAuthenticationClass FindAuthClass(std::string_view scheme);

// The scheme of a challenge line: the text before its first space.
std::string ChallengeScheme(std::string_view challenge);

// Walks the challenge lines in order and gives the class of the first whose scheme is
// registered; empty (no Create) when no listed scheme is.
TIdAuthenticationClass FindChallengeClass(const TIdHeaderList& challenges);

// Events of the HTTP client. The select event may pick another class for the challenges (or
// none); the authorization event may fill in credentials and answers whether to try again.
using TIdSelectAuthorizationEvent =
    std::function<void(TIdAuthenticationClass& authClass, const TIdHeaderList& challenges)>;
using TIdAuthorizationEvent = std::function<void(TIdAuthentication& authenticator, bool& handled)>;

// Answers a 401 (server) or 407 (proxy) challenge as the client does; returns whether the
// request should be sent again with credentials. Without an attached authenticator one is
// made for the first registered scheme among the challenge lines and attached (none when no
// listed scheme is registered, and the challenge is declined). Without an authorization
// handler the challenge is then declined, the new authenticator staying attached.
bool AnswerChallenge(const TIdHeaderList& challenges,
                     std::shared_ptr<TIdAuthentication>& authenticator,
                     const TIdSelectAuthorizationEvent& onSelect,
                     const TIdAuthorizationEvent& onAuthorization);

// Run whenever the client's connection closes: an authenticator of the request that has done
// all its steps is dropped; the proxy's authenticator is reset.
void ReleaseAuthenticatorsOnDisconnect(std::shared_ptr<TIdAuthentication>& requestAuthenticator,
                                       TIdAuthentication* proxyAuthenticator);

// The value of an "Authorization" header: the attached authenticator's, or, when none is
// attached and basicAuthentication is set, that of a new basic authenticator for the user
// name and password, which is attached. Empty when neither applies.
std::string AuthorizationHeaderValue(std::shared_ptr<TIdAuthentication>& authenticator,
                                     bool basicAuthentication, std::string_view username,
                                     std::string_view password);

// Standard base64 (RFC 4648 section 4): the "+/" alphabet, padded with "=", no line breaks.
std::string EncodeBase64(std::string_view bytes);

}  // namespace velomaris
