// The profile data access as a host reaches it: made by the repository over its connection,
// ended without harm to the repository, and the operations still to come answering with their
// failure values.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "repos_admin.h"
#include "repos_common_rda.h"
#include "repos_fixture.h"
#include "repos_profile_rda.h"
#include "repos_repository.h"

namespace {

// A file repository opened by the administrator, as a host opens it.
struct Opened {
    TestRepository file;
    ReposHeld<RepositoryAdmin> admin{createRepositoryAdmin(1, nullptr)};
    ReposHeld<Repository> repository{admin ? admin->openFileRepository(VqbString(file.file()), false) : nullptr};
    ReposHeld<ProfileRepositoryDataAccess> make() {
        return ReposHeld<ProfileRepositoryDataAccess>(repository ? repository->createProfileRepositoryDataAccess()
                                                                 : nullptr);
    }
};

std::string shown(bool v) { return v ? "true" : "false"; }
std::string shown(uint32_t v) { return std::to_string(v); }
std::string shown(ReposDataAccessCursor* c) {
    if (c) c->release();
    return c ? "cursor" : "null";
}

}  // namespace

TEST(ProfileRda, RepositoryMakesIndependentObjectsThatEndWithoutHarm) {
    Opened o;
    ASSERT_NE(o.repository, nullptr) << (o.admin ? o.admin->getErrorMessage().str() : getRepositoryAdminError());
    auto first = o.make(), second = o.make();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first.get(), second.get());

    first.reset();
    // The other object and the repository's connection go on working.
    ASSERT_TRUE(second->beginTransaction(false));
    EXPECT_TRUE(second->endTransaction(true));
    second.reset();
    EXPECT_TRUE(o.repository->setKeyValue("after", "release"));
    VqbString value;
    ASSERT_TRUE(o.repository->getKeyValue("after", value));
    EXPECT_EQ(value.str(), "release");
    EXPECT_EQ(o.file.rows("SELECT V_VALUE FROM KEYVAL WHERE V_KEY='after'"),
              (std::vector<std::vector<std::string>>{{"release"}}));
}

TEST(ProfileRda, OperationsToComeGiveTheirFailureValuesAndSaySo) {
    Opened o;
    auto profile = o.make();
    ASSERT_NE(profile, nullptr);
    uint32_t id = 7;
    const struct {
        const char* operation;
        std::function<std::string(ProfileRepositoryDataAccess&)> call;
        std::string failure;
    } cases[] = {
        {"getJobDataSourceIdByName", [&](auto& p) { return shown(p.getJobDataSourceIdByName(1, "d", &id)); }, "false"},
        {"addJobSetup", [](auto& p) { return shown(p.addJobSetup("s", "", "u-1", 1, 1, "a", "a", 0)); },
         "4294967295"},
        {"listJobAlerts", [](auto& p) { return shown(p.listJobAlerts(1)); }, "null"},
        {"clearJobSetup", [](auto& p) { return shown(p.clearJobSetup(1)); }, "false"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(c.call(*profile), c.failure) << c.operation;
        auto entries = log.entries();
        ASSERT_EQ(entries.size(), 1u) << c.operation;
        EXPECT_EQ(entries[0].level, 5) << c.operation;
        EXPECT_EQ(entries[0].sourceFile, "prof_rdaimpl") << c.operation;
        EXPECT_NE(entries[0].text.find(std::string(c.operation) + " is not available yet"), std::string::npos)
            << entries[0].text;
    }
    // Out arguments are left alone and nothing reached the database.
    EXPECT_EQ(id, 7u);
    for (const char* table : {"CHT", "JSETUP"})
        EXPECT_EQ(o.file.rows(std::string("SELECT COUNT(*) FROM ") + table),
                  (std::vector<std::vector<std::string>>{{"0"}}))
            << table;
}
