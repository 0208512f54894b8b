#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "repadmimpl.h"
#include "repos_admin.h"
#include "test_support.h"
#include "vqbmessage.h"

namespace {

struct AdminDeleter {
    void operator()(RepositoryAdmin* a) const {
        if (a) a->release();
    }
};
using AdminPtr = std::unique_ptr<RepositoryAdmin, AdminDeleter>;

}  // namespace

TEST(AdminEntry, FlagBitZeroAllowsAMissingListFileAndIgnoresAGivenOne) {
    LogCapture quiet;
    AdminPtr a(createRepositoryAdmin(1, nullptr));
    ASSERT_TRUE(a);
    EXPECT_STREQ(getRepositoryAdminError(), "");
    EXPECT_EQ(a->getConfigFile().str(), "");
    EXPECT_EQ(a->getCurrentVersion(), 8);
    EXPECT_FALSE(a->beginRepositoryList(false, false));
    EXPECT_EQ(a->getErrorMessage(), reposMessage(1295));
    EXPECT_FALSE(a->addRepository("/x.db", "", "x", true));
    EXPECT_EQ(a->getErrorMessage(), reposMessage(1295));
    EXPECT_FALSE(a->removeRepository("x"));
    EXPECT_FALSE(a->setDefaultRepository("x"));

    // The path is neither kept nor examined, even when it could never be used.
    TempDir dir;
    writeFile(dir.file("plain"), "");
    AdminPtr b(createRepositoryAdmin(1, dir.file("plain/below.lst").c_str()));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->getConfigFile().str(), "");
    EXPECT_FALSE(fileExists(dir.file("plain/below.lst")));
}

TEST(AdminEntry, NullPathWithoutFlagFailsWithItsText) {
    EXPECT_EQ(createRepositoryAdmin(0, nullptr), nullptr);
    EXPECT_STREQ(getRepositoryAdminError(), "No repository config file specified");
    EXPECT_EQ(createRepositoryAdmin(2, nullptr), nullptr);  // only bit 0 counts
}

TEST(AdminEntry, ErrorTextIsCutAt255AndClearedAfterASuccess) {
    LogCapture quiet;
    TempDir dir;
    writeFile(dir.file("plain"), "");
    // A list file below a regular file cannot be used; a long name makes a long error text.
    std::string bad = dir.file("plain/") + std::string(400, 'n') + "\xC3\xA4.lst";
    EXPECT_EQ(createRepositoryAdmin(0, bad.c_str()), nullptr);
    std::string error = getRepositoryAdminError();
    EXPECT_LE(error.size(), 255u);
    EXPECT_GE(error.size(), 250u);
    EXPECT_EQ(error, reposMessage(1294, bad.c_str()).str().substr(0, error.size()));

    AdminPtr ok(createRepositoryAdmin(0, dir.file("repos.lst").c_str()));
    ASSERT_TRUE(ok);
    EXPECT_STREQ(getRepositoryAdminError(), "");
    EXPECT_EQ(ok->getConfigFile().str(), dir.file("repos.lst"));
}

TEST(AdminEntry, NullStatusCallbackRestoresTheBuiltInOne) {
    TempDir dir;
    AdminPtr a(createRepositoryAdmin(0, dir.file("r.lst").c_str()));
    ASSERT_TRUE(a);
    a->setStatusCallback(nullptr);
    // Operations that report to the callback must still work.
    EXPECT_TRUE(a->addRepository(dir.file("x.db").c_str(), "", "x", true));
    EXPECT_TRUE(a->beginRepositoryList(true, false));
}
