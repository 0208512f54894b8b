// The repository's key/value settings.
#include <string>

#include "common_rda_fixture.h"

namespace {
class CommonKeyValues : public CommonRdaTest {};
}  // namespace

TEST_P(CommonKeyValues, SetReadListAndDelete) {
    // A repository holds settings of its own from its creation.
    const Rows ownKeys = take(rda->listKeyValueKeys()), own = take(rda->listKeyValues());
    auto withOwn = [](const Rows& own, Rows added) {
        added.insert(added.end(), own.begin(), own.end());
        return sorted(added);
    };
    const VqbString tricky("It's \"quoted\" – naïve 日本語 ✓ \\ %s %d");
    EXPECT_TRUE(rda->setKeyValue("greeting", tricky));
    EXPECT_TRUE(rda->setKeyValue("plain", "1"));
    EXPECT_TRUE(rda->setKeyValue("plain", "2"));
    EXPECT_EQ(repo->count("KEYVAL"), static_cast<int>(own.size()) + 2);

    VqbString value("unchanged");
    EXPECT_TRUE(rda->getKeyValue("greeting", &value));
    EXPECT_EQ(value.str(), tricky.str());
    EXPECT_TRUE(rda->getKeyValue("plain", &value));
    EXPECT_EQ(value.str(), "2");
    value = VqbString("kept");
    EXPECT_TRUE(rda->getKeyValue("absent", &value));
    EXPECT_EQ(value.str(), "kept");
    EXPECT_FALSE(rda->getKeyValue("plain", nullptr));
    EXPECT_EQ(sorted(take(rda->listKeyValueKeys())), withOwn(ownKeys, {{"greeting"}, {"plain"}}));
    EXPECT_EQ(sorted(take(rda->listKeyValues())), withOwn(own, {{"greeting", tricky.str()}, {"plain", "2"}}));

    // A key is a value like any other.
    const char* hostile = "k' OR '1'='1";
    EXPECT_TRUE(rda->setKeyValue(hostile, "v"));
    EXPECT_TRUE(rda->getKeyValue("plain", &value));
    EXPECT_EQ(value.str(), "2");
    EXPECT_TRUE(rda->deleteKeyValue(hostile));

    LogCapture log;
    EXPECT_FALSE(rda->deleteKeyValue("absent"));
    EXPECT_EQ(log.count("", 5), 0u);
    EXPECT_TRUE(rda->deleteKeyValue("greeting"));
    EXPECT_FALSE(rda->deleteKeyValue("greeting"));
    EXPECT_EQ(sorted(take(rda->listKeyValueKeys())), withOwn(ownKeys, {{"plain"}}));
}

REPOS_EVERY_PLACE(CommonKeyValues);
