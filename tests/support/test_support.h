// Shared helpers of the test suites.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <mutex>
#include <string>
#include <vector>

#include "vqbconfig.h"
#include "vqlog.h"

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Captures every log entry while it lives (nothing reaches stderr meanwhile).
class LogCapture {
public:
    explicit LogCapture(int level = 1);
    ~LogCapture();
    std::vector<VqLogEntry> entries() const;
    // Entries of a level whose text contains the fragment.
    size_t count(const std::string& fragment, int level = -1) const;
    bool contains(const std::string& fragment, int level = -1) const { return count(fragment, level) > 0; }
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<VqLogEntry> entries_;
};

// Sets keys of the default configuration section for one test and removes them afterwards.
class ConfigScope {
public:
    ConfigScope() = default;
    ~ConfigScope();
    void set(const char* key, const char* value, const char* section = "");

private:
    std::vector<std::pair<std::string, std::string>> keys_;  // section, key
};

// A name part unique to this process and call ("<lead><pid>x<n>_"), for tables, prefixes and
// schemas that tests running in parallel create in one shared database.
std::string uniqueTestPrefix(char lead);

std::string readFile(const std::string& path);
// The lines of a text file (none when it cannot be read).
std::vector<std::string> linesOf(const std::string& path);
// Waits for a child process; true when it ended with status 0.
bool childSucceeded(int pid);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);

// The connection string of the PostgreSQL test server (REPOS_TEST_PG), or empty. Tests that
// need it call REPOS_REQUIRE_PG(), which fails under CI and skips elsewhere.
std::string pgConnection();
// "WITH own AS MATERIALIZED (...)": the oid and name of the tables of one schema whose names start
// with lead. Tests share the server and drop tables all the time; reading the catalogue through
// this first keeps a query from opening another test's relation while it is being dropped.
std::string pgOwnTables(const std::string& schema, const std::string& lead);
#define REPOS_REQUIRE_PG()                                                                   \
    do {                                                                                     \
        if (pgConnection().empty()) {                                                        \
            if (getenv("CI")) FAIL() << "REPOS_TEST_PG is not set: the PostgreSQL test server is missing"; \
            GTEST_SKIP() << "no PostgreSQL test server (REPOS_TEST_PG not set)";             \
        }                                                                                    \
    } while (0)

#endif
