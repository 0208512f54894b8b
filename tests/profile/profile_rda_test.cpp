// The profile data access as a host reaches it: made by the repository over its connection and
// ended without harm to the repository or to another object on the same connection.
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
