// Every catalogue message the library raises must have a text of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "test_support.h"
#include "vqbmessage.h"

TEST(Messages, EveryNumberTheCodeUsesHasAText) {
    const char* root = getenv("REPOS_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    std::regex own(R"(reposMessage\(\s*(\d+))");
    std::regex other(R"(vqb_get_message\(\s*(VQB_MOD_\w+)\s*,\s*(\d+))");
    const std::map<std::string, const char*> modules = {{"VQB_MOD_REPOS", VQB_MOD_REPOS},
                                                        {"VQB_MOD_MONITOR", VQB_MOD_MONITOR},
                                                        {"VQB_MOD_MONADMIN", VQB_MOD_MONADMIN},
                                                        {"VQB_MOD_PROFILE", VQB_MOD_PROFILE}};
    int seen = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(std::string(root) + "/src")) {
        if (!e.is_regular_file()) continue;
        std::string text = readFile(e.path().string());
        for (std::sregex_iterator it(text.begin(), text.end(), own), end; it != end; ++it) {
            ++seen;
            unsigned n = static_cast<unsigned>(std::stoul((*it)[1]));
            EXPECT_NE(vqbMessageText(VQB_MOD_REPOS, n), nullptr) << "message " << n << " in " << e.path();
        }
        for (std::sregex_iterator it(text.begin(), text.end(), other), end; it != end; ++it) {
            ++seen;
            auto mod = modules.find((*it)[1]);
            ASSERT_NE(mod, modules.end()) << (*it)[1];
            unsigned n = static_cast<unsigned>(std::stoul((*it)[2]));
            EXPECT_NE(vqbMessageText(mod->second, n), nullptr) << "message " << n << " in " << e.path();
        }
    }
    EXPECT_GT(seen, 0);
}

TEST(Messages, FormattedAndUnknownNumbersStillSaySomething) {
    std::string text = reposMessage(1296, "/x.lst", 4).str();
    EXPECT_NE(text.find("/x.lst"), std::string::npos);
    EXPECT_NE(text.find("4"), std::string::npos);
    EXPECT_NE(vqb_get_message("Nowhere", 99999).str().find("99999"), std::string::npos);
}
