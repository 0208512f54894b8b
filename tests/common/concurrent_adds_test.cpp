// Writers in several processes adding the same new names at the same instant: each check and the
// write that depends on it are one step, so no name is stored twice and every caller of a
// find-or-insert is told the one id that was stored.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common_rda_fixture.h"
#include "rda_factory.h"

namespace {

constexpr int kWriters = 8;
constexpr int kNames = 20;

// Where the burst runs: the parent's repository, and how a child opens one of its own on it.
struct Where {
    std::unique_ptr<TestRepository> repo;
    int kind = REPOS_BACKEND_SQLITE_OPEN;
    std::string where, prefix;
    ReposDataAccess* connection = nullptr;
};

void openSqlite(Where& p) {
    p.repo = std::make_unique<TestRepository>(Place::Direct);
    p.where = p.repo->file();
    p.connection = p.repo->connection();
}

void openPostgres(Where& p) {
    p.repo = std::make_unique<TestRepository>(Place::Postgres);
    p.kind = REPOS_BACKEND_CONNECTOR;
    p.where = pgConnection();
    p.prefix = p.repo->prefix();
    p.connection = p.repo->connection();
}

// What the writers were told for one name.
enum class Told { Same, OneSucceeded, Anything };

// What each writer does for name number n, and what must hold afterwards. A writer's answer for
// the name goes to its own file.
struct Race {
    const char* what;
    std::function<std::string(CommonRDAImpl&, int n, int writer)> write;
    // The rows stored for name n, counted by the parent.
    const char* table;
    const char* keyColumn;
    const char* namePrefix;
    int least, most;
    Told told;
};

std::string name(const char* prefix, int n) { return prefix + std::to_string(n); }

const std::vector<Race>& races() {
    static const std::vector<Race> all = {
        {"setKeyValue",
         [](CommonRDAImpl& c, int n, int w) {
             return std::to_string(c.setKeyValue(name("key", n), std::to_string(w)));
         },
         "KEYVAL", "V_KEY", "key", 1, 1, Told::Same},
        {"addRule",
         [](CommonRDAImpl& c, int n, int) {
             return std::to_string(c.addRule(name("rule", n), "T", "x>1", "", "", "u", "", 0, "", "") != 0);
         },
         "RULE", "RU_DESC", "rule", 1, 1, Told::OneSucceeded},
        {"addGlobalCategory",
         [](CommonRDAImpl& c, int n, int) { return std::to_string(c.addGlobalCategory(name("gc", n), "d")); }, "GCATS",
         "GCNAME", "gc", 1, 1, Told::Same},
        // Half the writers set the key, half delete it.
        {"set and delete",
         [](CommonRDAImpl& c, int n, int w) {
             if (w % 2)
                 c.deleteKeyValue(name("sd", n));
             else
                 c.setKeyValue(name("sd", n), "v");
             return std::string("-");
         },
         "KEYVAL", "V_KEY", "sd", 0, 1, Told::Anything},
    };
    return all;
}

void writeInChild(const Where& place, int readyFd, const std::string& out, int writer) {
    VqbString error;
    ReposHeld<ReposDataAccess> c(
        createReposDataAccess(place.kind, VqbString(place.where), VqbString(place.prefix), nullptr, error));
    ReposHeld<CommonRDAImpl> rda(c ? new CommonRDAImpl(c.get()) : nullptr);
    char go;
    // Every writer starts when the parent closes the pipe.
    if (read(readyFd, &go, 1) != 0 || !rda) _exit(2);
    std::ofstream file(out);
    for (int n = 0; n < kNames; ++n)
        for (const Race& race : races()) file << race.what << ' ' << n << ' ' << race.write(*rda, n, writer) << '\n';
    file.close();
    rda.reset();
    c.reset();
    _exit(0);
}

class ConcurrentAdds : public ::testing::TestWithParam<void (*)(Where&)> {};

TEST_P(ConcurrentAdds, OneRowPerNameAndOneAnswerPerFindOrInsert) {
    Where place;
    GetParam()(place);
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NE(place.connection, nullptr);
    TempDir dir;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        if (pid == 0) {
            close(ready[1]);
            writeInChild(place, ready[0], dir.file("w" + std::to_string(w)), w);
        }
        children.push_back(pid);
    }
    close(ready[0]);
    close(ready[1]);
    for (pid_t pid : children) EXPECT_TRUE(childSucceeded(pid)) << "a writer failed";

    // race, name -> the answers the writers were given
    std::map<std::pair<std::string, int>, std::vector<std::string>> answers;
    for (int w = 0; w < kWriters; ++w) {
        std::ifstream in(dir.file("w" + std::to_string(w)));
        for (std::string line; std::getline(in, line);) {
            size_t last = line.rfind(' '), before = line.rfind(' ', last - 1);
            answers[{line.substr(0, before), std::stoi(line.substr(before + 1, last - before - 1))}].push_back(
                line.substr(last + 1));
        }
    }
    for (const Race& race : races()) {
        SCOPED_TRACE(race.what);
        const std::string count = "SELECT COUNT(*) FROM " + place.connection->getTableName(race.table, true, -1).str() +
                                  " WHERE " + race.keyColumn + "=?";
        for (int n = 0; n < kNames; ++n) {
            const VqbDatavar key(name(race.namePrefix, n));
            Rows stored = take(place.connection->paramSelect(VqbString(count), 1, &key));
            const int rows = std::stoi(cell(stored, 0, 0));
            EXPECT_TRUE(rows >= race.least && rows <= race.most) << key.asString().str() << ": " << rows << " rows";
            const std::vector<std::string>& given = answers[{race.what, n}];
            ASSERT_EQ(given.size(), static_cast<size_t>(kWriters)) << key.asString().str();
            if (race.told == Told::Same) {
                for (const std::string& answer : given) EXPECT_EQ(answer, given[0]) << key.asString().str();
            }
            if (race.told == Told::OneSucceeded) {
                EXPECT_EQ(std::count(given.begin(), given.end(), "1"), 1) << key.asString().str();
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Places, ConcurrentAdds, ::testing::Values(&openSqlite, &openPostgres),
                         [](const ::testing::TestParamInfo<void (*)(Where&)>& info) {
                             return std::string(info.index == 0 ? "SqliteFile" : "Postgres");
                         });

}  // namespace
