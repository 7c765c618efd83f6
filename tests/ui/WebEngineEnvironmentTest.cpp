#include "platform/ui/WebEngineEnvironment.h"

#include <gtest/gtest.h>

#include <string>

namespace velomaris {
namespace {

// Chromium refuses to start sandboxed as root and needs software rendering without a GPU or
// in CI; the user's own flags stay and nothing is added twice.
TEST(WebEngineEnvironmentTest, FlagsFollowRootCiAndGpu) {
    struct Case {
        TWebEngineConditions conditions;
        std::string flags;
    };
    const std::string software = "--disable-gpu --disable-gpu-compositing";
    const Case cases[] = {
        {{false, false, true, ""}, ""},
        {{true, false, true, ""}, "--no-sandbox"},
        {{false, true, true, ""}, software},
        {{false, false, false, ""}, software},
        {{true, true, false, ""}, "--no-sandbox " + software},
        {{true, false, true, "--lang=zh-CN"}, "--lang=zh-CN --no-sandbox"},
        {{true, true, true, "--no-sandbox --disable-gpu"},
         "--no-sandbox --disable-gpu --disable-gpu-compositing"},
        {{false, false, false, "--disable-gpu=1"}, "--disable-gpu=1 --disable-gpu-compositing"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChromiumFlags(c.conditions), c.flags) << c.conditions.existingFlags;
    }
}

}  // namespace
}  // namespace velomaris
