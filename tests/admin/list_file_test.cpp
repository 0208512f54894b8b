#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "repadmimpl.h"
#include "repos_admin.h"
#include "test_support.h"
#include "vqbmessage.h"

namespace {

using Lines = std::vector<std::string>;

// Each entry as "name|connection|prefix|default|file", default and file as 1 or 0.
Lines listAll(RepositoryAdmin& admin, bool onlyCurrent = false) {
    Lines out;
    EXPECT_TRUE(admin.beginRepositoryList(false, onlyCurrent)) << admin.getErrorMessage().str();
    VqbString name, conn, prefix, desc, version;
    bool isDefault = false, isFile = false;
    while (admin.getNextRepository(name, isDefault, conn, prefix, desc, version, isFile)) {
        EXPECT_EQ(desc.str(), "unknown");
        EXPECT_EQ(version.str(), "unknown");
        out.push_back(name.str() + "|" + conn.str() + "|" + prefix.str() + "|" + std::to_string(isDefault) + "|" +
                      std::to_string(isFile));
    }
    return out;
}

struct AdminDeleter {
    void operator()(RepositoryAdmin* a) const {
        if (a) a->release();
    }
};
using AdminPtr = std::unique_ptr<RepositoryAdmin, AdminDeleter>;

class ListFile : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("repositories.lst");
        admin.reset(new RepositoryAdminImpl(0, path.c_str()));
        ASSERT_TRUE(admin->getErrorMessage().isEmpty());
    }
    LogCapture quiet;
    TempDir dir;
    std::string path;
    std::unique_ptr<RepositoryAdminImpl> admin;
};

}  // namespace

TEST_F(ListFile, RoundTripKeepsQuotesDefaultsAndKinds) {
    ASSERT_TRUE(admin->addRepository("/data/o'brien.db", "", "O'Brien's file", true));
    EXPECT_TRUE(fileExists(path));  // the first add creates the list
    writeFile(path, readFile(path) + "'Server'='DSN=pg;UID=u' 'S.P_' 'C'\r\n");
    ASSERT_TRUE(admin->setDefaultRepository("server"));
    EXPECT_EQ(listAll(*admin), (Lines{"O'Brien's file|/data/o'brien.db||0|1", "Server|DSN=pg;UID=u|S.P_|1|0"}));
    EXPECT_EQ(readFile(path),
              "$defaultrepos='Server'\r\n"
              "'O''Brien''s file'='/data/o''brien.db' '' 'F'\r\n"
              "'Server'='DSN=pg;UID=u' 'S.P_' 'C'\r\n");

    // A line without kind letter names a data source and is written back as a connection.
    writeFile(path, "\r\n$DEFAULTREPOS='legacy'\n\n'legacy'='MyDsn'\n   \n");
    // Default names compare ignoring case.
    EXPECT_EQ(listAll(*admin), (Lines{"legacy|DSN=MyDsn;VQXTYPE=ODBC;||1|0"}));
    ASSERT_TRUE(admin->removeRepository("nothing such"));  // rewrites the unchanged list
    EXPECT_EQ(readFile(path), "$defaultrepos='legacy'\r\n'legacy'='DSN=MyDsn;VQXTYPE=ODBC;' '' 'C'\r\n");
}

TEST_F(ListFile, MalformedListsFailWithMessageAndLineAndChangeNothing) {
    const struct {
        std::string text;
        unsigned message;
        int line;
    } cases[] = {
        {"'a'='x' '' 'F'\r\n'b'='1' '2' '3' '4'\r\n", 1296, 2},
        {"'a'='x' '' 'F'\r\n\r\n'b'\r\n", 1297, 3},
        {"'a'='x' '' 'F'\r\n'b'=\r\n", 1297, 2},
        {"'a'='unterminated\r\n", 1299, 1},
    };
    for (const auto& c : cases) {
        writeFile(path, c.text);
        EXPECT_FALSE(admin->beginRepositoryList(false, false)) << c.text;
        EXPECT_EQ(admin->getErrorMessage(), reposMessage(c.message, path.c_str(), c.line)) << c.text;
        EXPECT_FALSE(admin->addRepository("/y.db", "", "y", true) || admin->setDefaultRepository("a") ||
                     admin->removeRepository("a"));
        EXPECT_EQ(readFile(path), c.text) << "a failed read must leave the file alone";
    }
}

TEST_F(ListFile, FailedWriteOrRenameKeepsTheOldList) {
    ASSERT_TRUE(admin->addRepository("/a.db", "", "a", true));
    const std::string before = readFile(path);

    // The temporary file cannot be created: a directory stands in its place.
    ASSERT_EQ(mkdir((path + ".t").c_str(), 0700), 0);
    EXPECT_FALSE(admin->addRepository("/b.db", "", "b", true));
    EXPECT_FALSE(admin->getErrorMessage().isEmpty());
    EXPECT_EQ(readFile(path), before);
    rmdir((path + ".t").c_str());

    // The rename cannot replace the list: make the list a non-empty directory after reading.
    std::string other = dir.file("other.lst");
    std::unique_ptr<RepositoryAdminImpl> second(new RepositoryAdminImpl(0, other.c_str()));
    ASSERT_EQ(mkdir(other.c_str(), 0700), 0);
    writeFile(other + "/keep", "x");
    EXPECT_FALSE(second->addRepository("/c.db", "", "c", true));
    EXPECT_FALSE(second->getErrorMessage().isEmpty());
    EXPECT_EQ(readFile(other + "/keep"), "x");
    EXPECT_FALSE(fileExists(other + ".t"));

    EXPECT_EQ(listAll(*admin), (Lines{"a|/a.db||1|1"}));  // the old list is whole and usable
}

TEST_F(ListFile, DuplicateNamesRemovalDefaultsAndOnlyCurrent) {
    // Connector entries are refused while no connection can be made.
    EXPECT_FALSE(admin->addRepository("DSN=none", "P_", "srv", false));
    EXPECT_FALSE(admin->getErrorMessage().isEmpty());
    EXPECT_FALSE(fileExists(path));

    ASSERT_TRUE(admin->addRepository("/a.db", "", "Alpha", true));
    EXPECT_FALSE(admin->addRepository("/b.db", "", "ALPHA", true));
    EXPECT_EQ(admin->getErrorMessage(), reposMessage(1305));
    ASSERT_TRUE(admin->addRepository("/b.db", "", "Beta", true));
    // Without a marked default the file names the first entry.
    EXPECT_EQ(readFile(path).substr(0, 24), "$defaultrepos='Alpha'\r\n'");
    ASSERT_TRUE(admin->setDefaultRepository("Beta"));
    EXPECT_EQ(readFile(path).substr(0, 23), "$defaultrepos='Beta'\r\n'");
    ASSERT_TRUE(admin->setDefaultRepository("nobody"));
    EXPECT_EQ(readFile(path).substr(0, 24), "$defaultrepos='Alpha'\r\n'");
    // Two entries marked default in memory: the later one is written.
    std::vector<ReposListEntry> twice(2);
    twice[0].name = "one";
    twice[1].name = "two";
    twice[0].isDefault = twice[1].isDefault = true;
    EXPECT_EQ(RepositoryAdminImpl::formatRepositoryList(twice).str().substr(0, 21), "$defaultrepos='two'\r\n");
    // Unprobed entries are never current.
    EXPECT_TRUE(listAll(*admin, true).empty());

    ASSERT_TRUE(admin->removeRepository("alpha"));
    ASSERT_TRUE(admin->removeRepository("Beta"));
    EXPECT_EQ(readFile(path), "");
    EXPECT_TRUE(listAll(*admin).empty());
}

// Bit 0 means "no list file": a given path is neither kept nor examined, and list operations
// fail with 1295. Without bit 0 a path is required.
TEST(AdminEntry, FlagBitZeroAndTheListFilePath) {
    LogCapture quiet;
    TempDir dir;
    writeFile(dir.file("plain"), "");
    for (const char* path : {static_cast<const char*>(nullptr), "plain/below.lst"}) {
        std::string full = path ? dir.file(path) : "";
        AdminPtr a(createRepositoryAdmin(1, path ? full.c_str() : nullptr));
        ASSERT_TRUE(a);
        EXPECT_STREQ(getRepositoryAdminError(), "");
        EXPECT_EQ(a->getConfigFile().str(), "");
        EXPECT_FALSE(a->beginRepositoryList(false, false));
        EXPECT_EQ(a->getErrorMessage(), reposMessage(1295));
        EXPECT_FALSE(a->addRepository("/x.db", "", "x", true));
        EXPECT_EQ(a->getErrorMessage(), reposMessage(1295));
        EXPECT_FALSE(a->removeRepository("x"));
        EXPECT_FALSE(a->setDefaultRepository("x"));
    }
    EXPECT_FALSE(fileExists(dir.file("plain/below.lst")));

    for (int flags : {0, 2}) {  // only bit 0 counts
        EXPECT_EQ(createRepositoryAdmin(flags, nullptr), nullptr);
        EXPECT_STREQ(getRepositoryAdminError(), "No repository config file specified");
    }
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

    // A null status callback puts the built-in one back: operations that report still work.
    ok->setStatusCallback(nullptr);
    EXPECT_TRUE(ok->addRepository(dir.file("x.db").c_str(), "", "x", true));
    EXPECT_TRUE(ok->beginRepositoryList(true, false));
}
