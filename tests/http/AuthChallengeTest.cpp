// Answering challenges, the disconnect clean-up and the Authorization values, without a
// connection (the client's end-to-end behaviour is in AuthClientTest).
#include <gtest/gtest.h>

#include "http/IdAuthentication.h"

namespace velomaris {
namespace {

TIdHeaderList Challenges(std::initializer_list<const char*> lines) {
    TIdHeaderList list;
    for (const char* line : lines) {
        list.Add(line);
    }
    return list;
}

// An authenticator of three steps, to see the disconnect rule at work.
class TThreeStepAuth : public TIdBasicAuthentication {
public:
    std::string ClassName() const override { return "TThreeStepAuth"; }
    int Steps() const override { return 3; }
};

TEST(AuthChallenge, WithoutAHandlerEveryChallengeIsDeclined) {
    struct Case {
        std::vector<const char*> lines;
        bool attachesBasic;
    };
    const Case cases[] = {
        {{"Basic realm=\"x\""}, true},
        {{"basic realm=\"x\""}, true},
        {{"BASIC"}, true},
        {{"Digest realm=\"x\", nonce=\"n\""}, false},
        {{"Digest realm=\"x\"", "Basic realm=\"y\""}, true},
        {{"Basically realm=\"x\""}, false},
        {{}, false},
    };
    for (const Case& c : cases) {
        TIdHeaderList challenges;
        for (const char* line : c.lines) {
            challenges.Add(line);
        }
        std::shared_ptr<TIdAuthentication> attached;
        EXPECT_FALSE(AnswerChallenge(challenges, attached, nullptr, nullptr));
        if (c.attachesBasic) {
            ASSERT_TRUE(attached) << challenges.Text();
            EXPECT_EQ(attached->ClassName(), "TIdBasicAuthentication");
            // Unconfigured: user name and password are empty.
            EXPECT_EQ(attached->Authentication(), "Basic Og==");
            ASSERT_NE(attached->ChallengeLines(), nullptr);
            EXPECT_EQ(attached->ChallengeLines()->Lines(), challenges.Lines());
        } else {
            EXPECT_FALSE(attached) << challenges.Text();
        }
    }
}

TEST(AuthChallenge, AnAttachedAuthenticatorIsKept) {
    auto mine = std::make_shared<TThreeStepAuth>();
    std::shared_ptr<TIdAuthentication> attached = mine;
    EXPECT_FALSE(AnswerChallenge(Challenges({"Basic realm=\"x\""}), attached, nullptr, nullptr));
    EXPECT_EQ(attached, mine);
}

TEST(AuthChallenge, SelectHandlerMayPickAnotherClassOrNone) {
    std::shared_ptr<TIdAuthentication> attached;
    std::string offered;
    auto pickThreeStep = [&](TIdAuthenticationClass& authClass, const TIdHeaderList& lines) {
        offered = authClass.ClassName + " for " + lines[0];
        authClass = {
            "TThreeStepAuth",
            [] { return std::unique_ptr<TIdAuthentication>(std::make_unique<TThreeStepAuth>()); }};
    };
    EXPECT_FALSE(
        AnswerChallenge(Challenges({"Basic realm=\"x\""}), attached, pickThreeStep, nullptr));
    EXPECT_EQ(offered, "TIdBasicAuthentication for Basic realm=\"x\"");
    ASSERT_TRUE(attached);
    EXPECT_EQ(attached->ClassName(), "TThreeStepAuth");

    std::shared_ptr<TIdAuthentication> none;
    auto pickNothing = [](TIdAuthenticationClass& authClass, const TIdHeaderList&) {
        authClass = {};
    };
    EXPECT_FALSE(AnswerChallenge(Challenges({"Basic realm=\"x\""}), none, pickNothing,
                                 [](auto&, bool& h) { h = true; }));
    EXPECT_FALSE(none);
}

TEST(AuthChallenge, AuthorizationHandlerMayFillInCredentials) {
    std::shared_ptr<TIdAuthentication> attached;
    int asked = 0;
    auto fillIn = [&](TIdAuthentication& auth, bool& handled) {
        ++asked;
        auth.SetUsername("Aladdin");
        auth.SetPassword("open sesame");
        handled = true;
    };
    EXPECT_TRUE(AnswerChallenge(Challenges({"Basic realm=\"x\""}), attached, nullptr, fillIn));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(attached->Authentication(), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    // With a user name set the basic scheme answers by itself.
    EXPECT_TRUE(AnswerChallenge(Challenges({"Basic realm=\"x\""}), attached, nullptr, fillIn));
    EXPECT_EQ(asked, 1);
    // A handler that does not handle it declines.
    std::shared_ptr<TIdAuthentication> other;
    EXPECT_FALSE(AnswerChallenge(Challenges({"Basic realm=\"x\""}), other, nullptr,
                                 [](TIdAuthentication&, bool&) {}));
    // Step 1 of the basic scheme means its one attempt failed.
    attached->CurrentStep = 1;
    EXPECT_FALSE(AnswerChallenge(Challenges({"Basic realm=\"x\""}), attached, nullptr, fillIn));
}

TEST(AuthChallenge, DisconnectDropsOnlyAuthenticatorsThatFinishedTheirSteps) {
    // The basic scheme has one step and never advances, so it stays attached for good.
    std::shared_ptr<TIdAuthentication> basic = std::make_shared<TIdBasicAuthentication>();
    ReleaseAuthenticatorsOnDisconnect(basic, nullptr);
    EXPECT_TRUE(basic);
    basic->CurrentStep = 1;
    ReleaseAuthenticatorsOnDisconnect(basic, nullptr);
    EXPECT_FALSE(basic);

    std::shared_ptr<TIdAuthentication> threeStep = std::make_shared<TThreeStepAuth>();
    threeStep->CurrentStep = 2;
    TIdBasicAuthentication proxy;
    proxy.CurrentStep = 5;
    ReleaseAuthenticatorsOnDisconnect(threeStep, &proxy);
    EXPECT_TRUE(threeStep);
    EXPECT_EQ(proxy.CurrentStep, 0);  // the proxy's authenticator is reset

    std::shared_ptr<TIdAuthentication> none;
    ReleaseAuthenticatorsOnDisconnect(none, nullptr);
    EXPECT_FALSE(none);
}

TEST(AuthChallenge, AuthorizationValueComesFromTheAttachedOrANewBasicAuthenticator) {
    std::shared_ptr<TIdAuthentication> attached;
    EXPECT_EQ(AuthorizationHeaderValue(attached, false, "u", "p"), "");
    EXPECT_FALSE(attached);
    EXPECT_EQ(AuthorizationHeaderValue(attached, true, "u", "p"), "Basic dTpw");
    ASSERT_TRUE(attached);
    // Once attached, the authenticator answers, whatever the flag and the names say now.
    EXPECT_EQ(AuthorizationHeaderValue(attached, false, "other", "x"), "Basic dTpw");

    std::shared_ptr<TIdAuthentication> unconfigured = std::make_shared<TIdBasicAuthentication>();
    EXPECT_EQ(AuthorizationHeaderValue(unconfigured, false, "u", "p"), "Basic Og==");
}

}  // namespace
}  // namespace velomaris
