#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "repadmimpl.h"
#include "repos_admin.h"
#include "test_support.h"
#include "vqbmessage.h"

namespace {

struct Listed {
    std::string name, connection, prefix;
    bool isDefault, isFile;
};

std::vector<Listed> listAll(RepositoryAdmin& admin, bool onlyCurrent = false) {
    std::vector<Listed> out;
    EXPECT_TRUE(admin.beginRepositoryList(false, onlyCurrent)) << admin.getErrorMessage().str();
    VqbString name, conn, prefix, desc, version;
    bool isDefault = false, isFile = false;
    while (admin.getNextRepository(name, isDefault, conn, prefix, desc, version, isFile)) {
        EXPECT_EQ(desc.str(), "unknown");
        EXPECT_EQ(version.str(), "unknown");
        out.push_back({name.str(), conn.str(), prefix.str(), isDefault, isFile});
    }
    return out;
}

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
    EXPECT_FALSE(fileExists(path));
    ASSERT_TRUE(admin->addRepository("/data/o'brien.db", "", "O'Brien's file", true));
    EXPECT_TRUE(fileExists(path));  // the first add creates the list
    writeFile(path, readFile(path) + "'Server'='DSN=pg;UID=u' 'S.P_' 'C'\r\n");
    ASSERT_TRUE(admin->setDefaultRepository("server"));

    auto entries = listAll(*admin);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "O'Brien's file");
    EXPECT_EQ(entries[0].connection, "/data/o'brien.db");
    EXPECT_EQ(entries[0].prefix, "");
    EXPECT_TRUE(entries[0].isFile);
    EXPECT_FALSE(entries[0].isDefault);
    EXPECT_EQ(entries[1].name, "Server");
    EXPECT_EQ(entries[1].connection, "DSN=pg;UID=u");
    EXPECT_EQ(entries[1].prefix, "S.P_");
    EXPECT_FALSE(entries[1].isFile);
    EXPECT_TRUE(entries[1].isDefault);

    EXPECT_EQ(readFile(path),
              "$defaultrepos='Server'\r\n"
              "'O''Brien''s file'='/data/o''brien.db' '' 'F'\r\n"
              "'Server'='DSN=pg;UID=u' 'S.P_' 'C'\r\n");
}

TEST_F(ListFile, LineWithoutKindLetterIsADataSourceWrittenBackAsConnection) {
    writeFile(path, "\r\n$DEFAULTREPOS='legacy'\n\n'legacy'='MyDsn'\n   \n");
    auto entries = listAll(*admin);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].connection, "DSN=MyDsn;VQXTYPE=ODBC;");
    EXPECT_TRUE(entries[0].isDefault);  // default names compare ignoring case
    ASSERT_TRUE(admin->removeRepository("nothing such"));  // rewrites the unchanged list
    EXPECT_EQ(readFile(path), "$defaultrepos='legacy'\r\n'legacy'='DSN=MyDsn;VQXTYPE=ODBC;' '' 'C'\r\n");
}

TEST_F(ListFile, MalformedListsFailWithMessageAndLineAndChangeNothing) {
    struct Case {
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
        EXPECT_FALSE(admin->addRepository("/y.db", "", "y", true));
        EXPECT_FALSE(admin->setDefaultRepository("a"));
        EXPECT_FALSE(admin->removeRepository("a"));
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

    // The old list is still whole and usable.
    auto entries = listAll(*admin);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "a");
}

TEST_F(ListFile, DuplicateNamesRemovalDefaultsAndOnlyCurrent) {
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
    ASSERT_TRUE(admin->loadRepositoryList());
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

TEST_F(ListFile, ConnectorEntriesAreRefusedWhileNoConnectionCanBeMade) {
    EXPECT_FALSE(admin->addRepository("DSN=none", "P_", "srv", false));
    EXPECT_FALSE(admin->getErrorMessage().isEmpty());
    EXPECT_FALSE(fileExists(path));
}
