// Base64, the basic authenticator and the scheme registry.
#include <gtest/gtest.h>

#include "http/IdAuthentication.h"

namespace velomaris {
namespace {

TEST(AuthBase64, EncodesTheVectorsOfRfc4648) {
    struct Case {
        std::string input;
        std::string encoded;
    };
    const Case cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {":", "Og=="},
        {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        // High bytes (a GBK user name) use the standard alphabet's "+" and "/".
        {std::string("\xFB\xFF\xBF", 3), "+/+/"},
        {std::string("\xD5\xC5\xC8\xFD:\x00", 6), "1cXI/ToA"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeBase64(c.input), c.encoded) << "input of " << c.input.size() << " bytes";
    }
    // No line breaks, however long the input.
    EXPECT_EQ(EncodeBase64(std::string(300, 'a')).find_first_of("\r\n"), std::string::npos);
}

TEST(AuthBasic, ValueIsBasicAndTheBase64OfUserColonPassword) {
    TIdBasicAuthentication auth;
    // Nothing set: a lone ":".
    EXPECT_EQ(auth.Authentication(), "Basic Og==");
    auth.SetUsername("Aladdin");
    auth.SetPassword("open sesame");
    EXPECT_EQ(auth.Username(), "Aladdin");
    EXPECT_EQ(auth.Password(), "open sesame");
    EXPECT_EQ(auth.Authentication(), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    // Stored as header lines, read back ignoring case.
    EXPECT_EQ(auth.NamedValues.HeaderValue("USERNAME"), "Aladdin");
    EXPECT_EQ(auth.Steps(), 1);
    EXPECT_FALSE(auth.KeepAlive());
    EXPECT_EQ(auth.ClassName(), "TIdBasicAuthentication");
}

TEST(AuthBasic, NextReadsTheRealmAndAnswersByStep) {
    TIdHeaderList challenges;
    challenges.Add("Digest realm=\"d\", nonce=\"n\"");
    challenges.Add("basic realm=\"My Site\", charset=\"UTF-8\"");

    TIdBasicAuthentication auth;
    auth.SetChallengeLines(challenges);
    EXPECT_EQ(auth.Next(), TIdAuthWhatsNext::wnAskTheProgram);  // step 0, no user name
    EXPECT_EQ(auth.Realm(), "My Site");

    auth.SetUsername("u");
    EXPECT_EQ(auth.Next(), TIdAuthWhatsNext::wnDoRequest);
    auth.CurrentStep = 1;
    EXPECT_EQ(auth.Next(), TIdAuthWhatsNext::wnFail);
    auth.CurrentStep = 2;
    EXPECT_EQ(auth.Next(), TIdAuthWhatsNext::wnDoRequest);
    auth.Reset();
    EXPECT_EQ(auth.CurrentStep, 0);
}

TEST(AuthBasic, ChallengeCannotReplaceTheCredentials) {
    TIdHeaderList challenges;
    challenges.Add("Basic realm=\"x\", username=evil, password=evil");
    TIdBasicAuthentication auth;
    auth.SetChallengeLines(challenges);
    EXPECT_EQ(auth.Next(), TIdAuthWhatsNext::wnAskTheProgram);
    EXPECT_EQ(auth.Username(), "");
    EXPECT_EQ(auth.Authentication(), "Basic Og==");
}

TEST(AuthRegistry, BasicIsRegisteredAndLookedUpIgnoringCase) {
    for (const char* scheme : {"Basic", "basic", "BASIC"}) {
        const TIdAuthenticationClass found = FindAuthClass(scheme);
        ASSERT_TRUE(found.Create) << scheme;
        EXPECT_EQ(found.ClassName, "TIdBasicAuthentication");
        EXPECT_EQ(found.Create()->ClassName(), "TIdBasicAuthentication");
    }
    EXPECT_FALSE(FindAuthClass("Digest").Create);
    EXPECT_FALSE(FindAuthClass("").Create);
    EXPECT_FALSE(FindAuthClass("Basi").Create);
}

TEST(AuthRegistry, RegisteringAPresentNameNamesTheExistingClass) {
    try {
        RegisterAuthenticationMethod("BASIC", {"TOther", [] {
                                                   return std::unique_ptr<TIdAuthentication>(
                                                       std::make_unique<TIdBasicAuthentication>());
                                               }});
        FAIL() << "no exception";
    } catch (const EIdAlreadyRegisteredAuthenticationMethod& e) {
        EXPECT_EQ(e.Message(),
                  "This authentication method is already registered with class name "
                  "TIdBasicAuthentication.");
    }
    // The existing entry is untouched.
    EXPECT_EQ(FindAuthClass("Basic").ClassName, "TIdBasicAuthentication");
}

TEST(AuthRegistry, ChallengeLinesPickTheFirstRegisteredScheme) {
    TIdHeaderList challenges;
    EXPECT_FALSE(FindChallengeClass(challenges).Create);
    challenges.Add("Digest realm=\"a\"");
    EXPECT_FALSE(FindChallengeClass(challenges).Create);
    challenges.Add("Negotiate");
    EXPECT_FALSE(FindChallengeClass(challenges).Create);
    challenges.Add("basic realm=\"x\"");
    EXPECT_EQ(FindChallengeClass(challenges).ClassName, "TIdBasicAuthentication");

    // A scheme registered later is found in its turn, before Basic when listed first.
    struct TTestAuth : TIdBasicAuthentication {
        std::string ClassName() const override { return "TTestAuth"; }
    };
    RegisterAuthenticationMethod(
        "Negotiate", {"TTestAuth", [] {
                          return std::unique_ptr<TIdAuthentication>(std::make_unique<TTestAuth>());
                      }});
    EXPECT_EQ(FindChallengeClass(challenges).ClassName, "TTestAuth");
    UnregisterAuthenticationMethod("NEGOTIATE");
    EXPECT_EQ(FindChallengeClass(challenges).ClassName, "TIdBasicAuthentication");
    EXPECT_EQ(ChallengeScheme("Basic realm=\"x\""), "Basic");
    EXPECT_EQ(ChallengeScheme("Negotiate"), "Negotiate");
}

}  // namespace
}  // namespace velomaris
