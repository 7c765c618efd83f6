#include "http/IdAuthentication.h"

#include <mutex>
#include <utility>

#include "platform/Text.h"

namespace velomaris {

namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

// Splits text at every occurrence of separator; the pieces keep their blanks.
std::vector<std::string> SplitAt(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

}  // namespace

void TIdAuthentication::SetPassword(std::string_view password) {
    NamedValues.SetHeader("Password", password);
}

void TIdAuthentication::SetUsername(std::string_view username) {
    NamedValues.SetHeader("Username", username);
}

void TIdAuthentication::SetChallengeLines(const TIdHeaderList& challenges) {
    if (!challengeLines_) {
        challengeLines_ = std::make_unique<TIdHeaderList>();
    }
    *challengeLines_ = challenges;
}

TIdAuthWhatsNext TIdBasicAuthentication::Next() {
    // The parameters of the Basic challenge (RFC 7617 section 2) join the named values, so the
    // realm reads like a header. Scheme names compare ignoring case (RFC 7235 section 2.1).
    // A challenge may not name the credentials: those come from the program alone.
    if (const TIdHeaderList* challenges = ChallengeLines()) {
        for (const std::string& line : challenges->Lines()) {
            if (!StartsWithIgnoringCase(line, "Basic")) {
                continue;
            }
            const size_t space = line.find(' ');
            const std::string_view params = space == std::string::npos
                                                ? std::string_view()
                                                : std::string_view(line).substr(space + 1);
            for (const std::string& item : SplitAt(params, ", ")) {
                const size_t equals = item.find('=');
                if (equals == std::string::npos) {
                    continue;
                }
                const std::string name = item.substr(0, equals);
                if (name.empty() || SameTextAscii(name, "username") ||
                    SameTextAscii(name, "password")) {
                    continue;
                }
                NamedValues.SetHeader(name, item.substr(equals + 1));
            }
            break;
        }
    }
    const std::string realm = NamedValues.HeaderValue("realm");
    realm_ = realm.size() >= 2 ? realm.substr(1, realm.size() - 2) : std::string();

    switch (CurrentStep) {
        case 0:
            return Username().empty() ? TIdAuthWhatsNext::wnAskTheProgram
                                      : TIdAuthWhatsNext::wnDoRequest;
        case 1:
            return TIdAuthWhatsNext::wnFail;
        default:
            return TIdAuthWhatsNext::wnDoRequest;
    }
}

std::string TIdBasicAuthentication::Authentication() {
    return "Basic " + EncodeBase64(Username() + ":" + Password());
}

namespace {

struct Registration {
    std::string scheme;
    TIdAuthenticationClass authClass;
};

class AuthenticationRegistry {
public:
    AuthenticationRegistry() {
        entries_.push_back({"Basic", {"TIdBasicAuthentication", [] {
                                          return std::unique_ptr<TIdAuthentication>(
                                              std::make_unique<TIdBasicAuthentication>());
                                      }}});
    }

    void Register(std::string_view scheme, TIdAuthenticationClass authClass) {
        std::lock_guard<std::mutex> hold(mutex_);
        if (const Registration* existing = FindLocked(scheme)) {
            throw EIdAlreadyRegisteredAuthenticationMethod(
                "This authentication method is already registered with class name " +
                existing->authClass.ClassName + ".");
        }
        entries_.push_back({std::string(scheme), std::move(authClass)});
    }

    void Unregister(std::string_view scheme) {
        std::lock_guard<std::mutex> hold(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (SameTextAscii(it->scheme, scheme)) {
                entries_.erase(it);
                return;
            }
        }
    }

    TIdAuthenticationClass Find(std::string_view scheme) const {
        std::lock_guard<std::mutex> hold(mutex_);
        const Registration* found = FindLocked(scheme);
        return found ? found->authClass : TIdAuthenticationClass{};
    }

private:
    const Registration* FindLocked(std::string_view scheme) const {
        for (const Registration& entry : entries_) {
            if (SameTextAscii(entry.scheme, scheme)) {
                return &entry;
            }
        }
        return nullptr;
    }

    mutable std::mutex mutex_;
    std::vector<Registration> entries_;
};

AuthenticationRegistry& Registry() {
    static AuthenticationRegistry registry;
    return registry;
}

}  // namespace

void RegisterAuthenticationMethod(std::string_view scheme, TIdAuthenticationClass authClass) {
    Registry().Register(scheme, std::move(authClass));
}

void UnregisterAuthenticationMethod(std::string_view scheme) {
    Registry().Unregister(scheme);
}

TIdAuthenticationClass FindAuthClass(std::string_view scheme) {
    return Registry().Find(scheme);
}

std::string ChallengeScheme(std::string_view challenge) {
    return std::string(challenge.substr(0, challenge.find(' ')));
}

TIdAuthenticationClass FindChallengeClass(const TIdHeaderList& challenges) {
    for (const std::string& line : challenges.Lines()) {
        TIdAuthenticationClass found = FindAuthClass(ChallengeScheme(line));
        if (found.Create) {
            return found;
        }
    }
    return {};
}

std::string EncodeBase64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 |
                               static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += kAlphabet[group >> 6 & 63];
        out += kAlphabet[group & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += rest == 2 ? kAlphabet[group >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

bool AnswerChallenge(const TIdHeaderList& challenges,
                     std::shared_ptr<TIdAuthentication>& authenticator,
                     const TIdSelectAuthorizationEvent& onSelect,
                     const TIdAuthorizationEvent& onAuthorization) {
    if (!authenticator) {
        TIdAuthenticationClass authClass = FindChallengeClass(challenges);
        if (!authClass.Create) {
            return false;
        }
        if (onSelect) {
            onSelect(authClass, challenges);
            if (!authClass.Create) {
                return false;
            }
        }
        authenticator = authClass.Create();
    }
    authenticator->SetChallengeLines(challenges);
    if (!onAuthorization) {
        return false;
    }
    switch (authenticator->Next()) {
        case TIdAuthWhatsNext::wnDoRequest:
            return true;
        case TIdAuthWhatsNext::wnAskTheProgram: {
            bool handled = false;
            onAuthorization(*authenticator, handled);
            return handled;
        }
        case TIdAuthWhatsNext::wnFail:
            break;
    }
    return false;
}

void ReleaseAuthenticatorsOnDisconnect(std::shared_ptr<TIdAuthentication>& requestAuthenticator,
                                       TIdAuthentication* proxyAuthenticator) {
    if (requestAuthenticator &&
        requestAuthenticator->Steps() == requestAuthenticator->CurrentStep) {
        requestAuthenticator.reset();
    }
    if (proxyAuthenticator != nullptr) {
        proxyAuthenticator->Reset();
    }
}

std::string AuthorizationHeaderValue(std::shared_ptr<TIdAuthentication>& authenticator,
                                     bool basicAuthentication, std::string_view username,
                                     std::string_view password) {
    if (!authenticator) {
        if (!basicAuthentication) {
            return std::string();
        }
        authenticator = std::make_shared<TIdBasicAuthentication>();
        authenticator->SetUsername(username);
        authenticator->SetPassword(password);
    }
    return authenticator->Authentication();
}

}  // namespace velomaris
