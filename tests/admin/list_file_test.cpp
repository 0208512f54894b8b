#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "repadmimpl.h"
#include "repos_admin.h"
#include "repos_held.h"
#include "test_support.h"
#include "vqbmessage.h"

namespace {

using Lines = std::vector<std::string>;

// Each entry as "name|connection|prefix|default|file", default and file as 1 or 0; probed, as
// "name|description".
Lines listAll(RepositoryAdmin& admin, bool onlyCurrent = false, bool probe = false) {
    Lines out;
    EXPECT_TRUE(admin.beginRepositoryList(probe, onlyCurrent)) << admin.getErrorMessage().str();
    VqbString name, conn, prefix, desc, version;
    bool isDefault = false, isFile = false;
    while (admin.getNextRepository(name, isDefault, conn, prefix, desc, version, isFile)) {
        if (probe) {
            out.push_back(name.str() + "|" + desc.str());
            continue;
        }
        EXPECT_EQ(desc.str(), "unknown");
        EXPECT_EQ(version.str(), "unknown");
        out.push_back(name.str() + "|" + conn.str() + "|" + prefix.str() + "|" + std::to_string(isDefault) + "|" +
                      std::to_string(isFile));
    }
    return out;
}

using AdminPtr = ReposHeld<RepositoryAdmin>;

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

// Every failure names the list file, leaves it as it was and leaves no temporary file behind.
TEST_F(ListFile, FailuresNameTheFileAndKeepTheList) {
    const std::string kept = "$defaultrepos='a'\r\n'a'='/a.db' '' 'F'\r\n";
    const struct {
        const char* what;
        std::string list;             // the list file's path
        std::function<void()> setUp;  // makes the write fail
    } cases[] = {
        // Short enough for the lock file's name, too long for a temporary's.
        {"no temporary", dir.file(std::string(250, 'n')), [] {}},
        {"no lock", path, [&] { ASSERT_EQ(mkdir((path + ".lock").c_str(), 0700), 0); }},
        {"no folder", dir.file("gone/repositories.lst"), [] {}},
        {"list is a folder", dir.file("folder.lst"),
         [&] { ASSERT_EQ(mkdir(dir.file("folder.lst").c_str(), 0700), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.setUp();
        const bool ordinary = !std::filesystem::exists(c.list);  // not made a folder by the case
        if (ordinary && std::filesystem::exists(std::filesystem::path(c.list).parent_path())) writeFile(c.list, kept);
        // The folder's files but the lock file, which stays once made.
        auto files = [&] {
            std::vector<std::string> out;
            for (const auto& f : std::filesystem::directory_iterator(dir.path()))
                if (f.path().string() != c.list + ".lock") out.push_back(f.path().string());
            std::sort(out.begin(), out.end());
            return out;
        };
        const std::vector<std::string> before = files();
        RepositoryAdminImpl other(0, c.list.c_str());
        EXPECT_FALSE(other.addRepository("/b.db", "", "b", true) || other.setDefaultRepository("a") ||
                     other.removeRepository("a"));
        EXPECT_NE(other.getErrorMessage().str().find(c.list), std::string::npos) << other.getErrorMessage().str();
        if (ordinary && fileExists(c.list)) {
            EXPECT_EQ(readFile(c.list), kept);
        }
        EXPECT_EQ(files(), before);
    }
}

TEST_F(ListFile, HostileTextsAreRefusedAndTheListStays) {
    ASSERT_TRUE(admin->addRepository("/a.db", "", "a", true));
    const std::string before = readFile(path);
    const struct {
        std::string name, connection, prefix;
        bool isFile;
        VqbString error;
    } cases[] = {
        {"a\nb", "/x.db", "", true, reposMessage(1326, "name")},
        {"a\rb", "/x.db", "", true, reposMessage(1326, "name")},
        {std::string("a\0b", 3), "/x.db", "", true, reposMessage(1326, "name")},
        {"x", "/x\n.db", "", true, reposMessage(1326, "connection text")},
        // Refused before any connection is tried.
        {"x", "DSN=none\r\n", "P_", false, reposMessage(1326, "connection text")},
        {"x", "DSN=none", "P\n_", false, reposMessage(1326, "table prefix")},
        {"$defaultrepos", "/x.db", "", true, reposMessage(1327, "$defaultrepos")},
        {"$DefaultRepos", "DSN=none", "P_", false, reposMessage(1327, "$DefaultRepos")},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(admin->addRepository(VqbString(c.connection), VqbString(c.prefix), VqbString(c.name), c.isFile));
        EXPECT_EQ(admin->getErrorMessage().str(), c.error.str()) << c.name << c.connection << c.prefix;
    }
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(listAll(*admin), (Lines{"a|/a.db||1|1"}));
}

// Passwords are in the list: only its owner may read it, and an owner's stricter mode stays.
TEST_F(ListFile, ListIsReadableByItsOwnerOnly) {
    auto mode = [](const std::string& p) {
        struct stat st {};
        return stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000u;
    };
    const struct {
        unsigned existing;  // 0: no list yet
        unsigned written;
    } cases[] = {{0, 0600}, {0644, 0600}, {0640, 0600}, {0400, 0400}, {0600, 0600}};
    for (const auto& c : cases) {
        std::remove(path.c_str());
        if (c.existing) {
            writeFile(path, "");
            ASSERT_EQ(chmod(path.c_str(), c.existing), 0);
        }
        ASSERT_TRUE(admin->addRepository("/a.db", "", "a", true)) << admin->getErrorMessage().str();
        EXPECT_EQ(mode(path), c.written) << std::oct << c.existing;
        EXPECT_EQ(mode(path + ".lock"), 0600u);
    }
}

// Adds from several processes, and from threads of each, on one list: each answered true stays.
TEST_F(ListFile, ConcurrentWritersLoseNoEntry) {
    constexpr int kProcesses = 8, kThreads = 2, kAdds = 20;
    auto entry = [](int p, int t, int i) {
        return "r" + std::to_string(p) + "_" + std::to_string(t) + "_" + std::to_string(i);
    };
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::atomic<int> failed{0};
            std::vector<std::thread> threads;
            for (int t = 0; t < kThreads; ++t)
                threads.emplace_back([&, t] {
                    RepositoryAdminImpl own(0, path.c_str());
                    for (int i = 0; i < kAdds; ++i) {
                        std::string name = entry(p, t, i);
                        if (!own.addRepository(VqbString("/" + name + ".db"), "", VqbString(name), true)) ++failed;
                    }
                });
            for (auto& thread : threads) thread.join();
            _exit(failed.load());
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) EXPECT_TRUE(childSucceeded(pid)) << "adds answered false";
    Lines expected;
    for (int p = 0; p < kProcesses; ++p)
        for (int t = 0; t < kThreads; ++t)
            for (int i = 0; i < kAdds; ++i) expected.push_back(entry(p, t, i) + "|/" + entry(p, t, i) + ".db||0|1");
    Lines listed = listAll(*admin);
    for (auto& line : listed) line[line.size() - 3] = '0';  // whichever came first is the default
    std::sort(expected.begin(), expected.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);
}

// Probing opens what is there and never makes a database, whatever the entry's connection asks.
TEST_F(ListFile, ProbingCreatesNothing) {
    const std::string made = dir.file("made.db");
    ASSERT_TRUE(admin->createFileRepository(made.c_str())) << admin->getErrorMessage().str();
    const std::string a = dir.file("a.db"), b = dir.file("b.db"), c = dir.file("c.db"), d = dir.file("d;x.db");
    writeFile(path, "'file'='" + a + "' '' 'F'\r\n"
                    "'conn'='VQXTYPE=SQLITE;FILE=" + b + ";CREATE=TRUE' '' 'C'\r\n"
                    "'first'=' create = true;FILE=" + c + ";VQXTYPE=SQLITE' '' 'C'\r\n"
                    "'braced'='FILE={" + d + "};CREATE=TRUE;VQXTYPE=SQLITE' '' 'C'\r\n"
                    "'there'='VQXTYPE=SQLITE;FILE=" + made + ";CREATE=TRUE' '' 'C'\r\n");
    for (const char* viaConnector : {"", "false"}) {
        ConfigScope config;
        if (*viaConnector) config.set("REPOS/FORCE_FILE_BASED", viaConnector);
        EXPECT_EQ(listAll(*admin, false, true), (Lines{"file|Failed to connect", "conn|Failed to connect", "first|Failed to connect",
                               "braced|Failed to connect", "there|Velqorin repository"}));
        for (const std::string& f : {a, b, c, d}) EXPECT_FALSE(fileExists(f)) << f;
    }
}

TEST_F(ListFile, DuplicateNamesRemovalDefaultsAndOnlyCurrent) {
    // Connector entries are refused while no connection can be made.
    EXPECT_FALSE(admin->addRepository("DSN=none", "P_", "srv", false));
    EXPECT_FALSE(admin->getErrorMessage().isEmpty());
    EXPECT_FALSE(fileExists(path));

    ASSERT_TRUE(admin->addRepository("/a.db", "", "Alpha", true));
    EXPECT_FALSE(admin->addRepository("/b.db", "", "ALPHA", true));
    EXPECT_EQ(admin->getErrorMessage(), reposMessage(1305, "ALPHA", path.c_str()));
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
    EXPECT_EQ(error, reposMessage(1294, bad.c_str(), "Not a directory").str().substr(0, error.size()));

    AdminPtr ok(createRepositoryAdmin(0, dir.file("repos.lst").c_str()));
    ASSERT_TRUE(ok);
    EXPECT_STREQ(getRepositoryAdminError(), "");
    EXPECT_EQ(ok->getConfigFile().str(), dir.file("repos.lst"));

    // A null status callback puts the built-in one back: operations that report still work.
    ok->setStatusCallback(nullptr);
    EXPECT_TRUE(ok->addRepository(dir.file("x.db").c_str(), "", "x", true));
    EXPECT_TRUE(ok->beginRepositoryList(true, false));
}
