#include "sandbox/GamePage.h"

#include <gtest/gtest.h>

#include <regex>

namespace sandbox {
namespace {

// The app's web view runs ECMAScript 5.1 only; a later construct would stop
// the whole page before its first post.
TEST(GamePageTest, ScriptUsesNoConstructLaterThanEcmaScript51) {
    const std::string& script = gamePageScript();
    const std::pair<const char*, const char*> laterForms[] = {
        {R"(\blet\s)", "let"},
        {R"(\bconst\s)", "const"},
        {R"(=>)", "arrow function"},
        {R"(`)", "template string"},
        {R"(\bclass\s)", "class"},
        {R"(\bPromise\b)", "Promise"},
        {R"(\basync\s)", "async"},
        {R"(\.\.\.)", "spread"},
    };
    for (const auto& [pattern, name] : laterForms)
        EXPECT_FALSE(std::regex_search(script, std::regex(pattern))) << "the page script uses " << name;
    EXPECT_EQ(script.find("</"), std::string::npos) << "would end the inline script element early";
}

TEST(GamePageTest, PageDefinesTheCallbackAndPostsToTheAppsHandler) {
    const std::string& script = gamePageScript();
    EXPECT_NE(script.find("function CallbackFromIOS(text)"), std::string::npos);
    EXPECT_NE(script.find("window.webkit.messageHandlers"), std::string::npos);
    EXPECT_NE(script.find("eventComplete.postMessage(JSON.stringify("), std::string::npos);
    for (int pause : {kLookAroundMilliseconds, kStoreSettleMilliseconds, kStoreCeilingMilliseconds})
        EXPECT_NE(script.find(std::to_string(pause)), std::string::npos) << pause;
    EXPECT_FALSE(std::regex_search(script, std::regex("@[A-Z_]+@"))) << "a pause left unfilled";
}

}  // namespace
}  // namespace sandbox
