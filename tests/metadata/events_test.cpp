// The repository event table: written by several sources, read since a time without the
// reader's own events, purged; and never reported written when it was not.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "curuser.h"
#include "meta_fixture.h"
#include "rda_factory.h"
#include "vqsqlite.h"

namespace {

int addEvent(MetadataRepositoryDataAccess* meta, const std::string& subject, int change, const std::string& source) {
    int id = -1;
    VqbString error;
    EXPECT_TRUE(meta->addRepositoryEvent(VqbString(subject), change, VqbString("other"), VqbString(source), &id,
                                         error))
        << error.str();
    return id;
}

// Subjects of the rows, in order.
std::vector<std::string> subjects(const Rows& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows) out.push_back(row.at(1));
    return out;
}

// A connection of its own on the repository file, opened with a short wait for locks.
struct ImpatientConnection {
    explicit ImpatientConnection(const std::string& file) : previous(sqliteBusyTimeout()) {
        sqliteSetBusyTimeout(50);
        VqbString error;
        connection.reset(createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, file, "", nullptr, error));
        meta.reset(newMetadataAccess(connection.get()));
    }
    ~ImpatientConnection() {
        meta.reset();
        connection.reset();
        sqliteSetBusyTimeout(previous);
    }
    int previous;
    ReposHeld<ReposDataAccess> connection;
    ReposHeld<MetadataRepositoryDataAccess> meta;
};

// Another process's hold on the file through SQLite itself.
struct RawHold {
    explicit RawHold(const std::string& file) { sqlite3_open(file.c_str(), &db); }
    ~RawHold() { sqlite3_close(db); }
    bool run(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    sqlite3* db = nullptr;
};

// Adds count events under source from a connection of its own; "OK <id> <n>" or "FAIL <n> <why>".
[[noreturn]] void addInChild(const std::string& db, const std::string& out, const char* source, int count) {
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, db, "", nullptr, error);
    if (!c) _exit(2);
    MetadataRepositoryDataAccess* meta = newMetadataAccess(c);
    std::ofstream file(out);
    for (int n = 0; n < count; ++n) {
        int id = -1;
        VqbString why;
        std::string subject = std::string(source) + "-" + std::to_string(n);
        if (meta->addRepositoryEvent(VqbString(subject), 0, VqbString(""), VqbString(source), &id, why))
            file << "OK " << id << " " << n << "\n";
        else
            file << "FAIL " << n << " " << why.str() << "\n";
        file.flush();
    }
    file.close();
    meta->release();
    c->release();
    _exit(0);
}

std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(MetaEvents, ReadersSeeOtherSourcesSinceATimeInOrder) {
    MetaRepository m;
    int a1 = addEvent(m.meta.get(), "rule 1", 0, "A");
    int b1 = addEvent(m.meta.get(), "rule 1", 2, "B");
    int b2 = addEvent(m.meta.get(), "task 4", 3, "B");
    int a2 = addEvent(m.meta.get(), "task 4", 4, "A");
    int b3 = addEvent(m.meta.get(), "job 9", 1, "B");
    EXPECT_LT(a1, b1);
    // Times the test controls: b3 is older than b2 and b1, which share one time.
    auto setTime = [&](int id, double t) {
        m.repo.exec("UPDATE REVENT SET EVT_TIME=? WHERE EVT_ID=?", {VqbDatavar(t), VqbDatavar(id)});
    };
    setTime(a1, 100.0);
    setTime(b3, 150.0);
    setTime(b2, 200.0);
    setTime(b1, 200.0);
    setTime(a2, 300.0);

    VqbString error;
    Rows forA = m.take(m.meta->listRepositoryEventsSince(0, 150.0, VqbString("A"), error));
    ASSERT_EQ(forA.size(), 3u);
    EXPECT_EQ(forA[0][0], std::to_string(b3));
    EXPECT_EQ(forA[1][0], std::to_string(b1));  // same time: id order
    EXPECT_EQ(forA[2][0], std::to_string(b2));
    // Every column, in table order.
    ASSERT_EQ(forA[1].size(), 7u);
    EXPECT_EQ(forA[1][1], "rule 1");
    EXPECT_EQ(forA[1][2], "Modify");
    EXPECT_EQ(std::stod(forA[1][3]), 200.0);
    EXPECT_EQ(forA[1][4], getCurrentUserName().str());
    EXPECT_EQ(forA[1][5], "other");
    EXPECT_EQ(forA[1][6], "B");
    EXPECT_EQ(forA[2][2], "Lock");

    Rows forB = m.take(m.meta->listRepositoryEventsSince(0, 0.0, VqbString("B"), error));
    EXPECT_EQ(subjects(forB), (std::vector<std::string>{"rule 1", "task 4"}));
    EXPECT_EQ(forB[1][2], "Unlock");
    EXPECT_TRUE(m.take(m.meta->listRepositoryEventsSince(0, 300.5, VqbString("B"), error)).empty());

    // An event written without a source is nobody's own, and a reader without one reads all.
    m.repo.exec("INSERT INTO REVENT (EVT_ID, EVT_SBJT, EVT_TIME) VALUES (99, 'anonymous', 400)");
    EXPECT_EQ(m.take(m.meta->listRepositoryEventsSince(0, 350.0, VqbString("A"), error)).size(), 1u);
    EXPECT_EQ(m.take(m.meta->listRepositoryEventsSince(0, 0.0, VqbString(), error)).size(), 6u);
    EXPECT_EQ(m.take(m.meta->listRepositoryEventsSince(0, 0.0, VqbString("A' OR '1'='1"), error)).size(), 6u);
}

TEST(MetaEvents, PurgedByIdByTimeOrBothButNeverByNeither) {
    MetaRepository m;
    std::vector<int> ids;
    for (int i = 0; i < 6; ++i) ids.push_back(addEvent(m.meta.get(), "e" + std::to_string(i), 0, "A"));
    for (int i = 0; i < 6; ++i)
        m.repo.exec("UPDATE REVENT SET EVT_TIME=? WHERE EVT_ID=?", {VqbDatavar(10.0 * i), VqbDatavar(ids[i])});

    LogCapture log;
    VqbString error;
    EXPECT_FALSE(m.meta->deleteRepositoryEvents(0, 0.0, error));
    EXPECT_EQ(error.str(), "Remove repository events cannot remove events when neither date or id are specified.");
    EXPECT_EQ(m.count("REVENT"), 6);

    // Only a time: every older event whatever its id (e0 at time 0 too).
    ASSERT_TRUE(m.meta->deleteRepositoryEvents(0, 15.0, error));
    EXPECT_TRUE(log.contains("Removed 2 repository events", 2));
    // Both: below the id and before the time.
    ASSERT_TRUE(m.meta->deleteRepositoryEvents(ids[5], 35.0, error));
    EXPECT_EQ(m.repo.rows("SELECT EVT_SBJT FROM REVENT ORDER BY EVT_ID"), (Rows{{"e4"}, {"e5"}}));
    // Only an id.
    ASSERT_TRUE(m.meta->deleteRepositoryEvents(ids[5], 0.0, error));
    EXPECT_EQ(m.repo.rows("SELECT EVT_SBJT FROM REVENT"), (Rows{{"e5"}}));
}

TEST(MetaEvents, AnEventWhoseCommitIsRefusedIsReportedAsFailedAndIsNotThere) {
    MetaRepository m;
    int kept = addEvent(m.meta.get(), "kept", 0, "A");
    ImpatientConnection other(m.repo.file());
    ASSERT_NE(other.meta, nullptr);
    RawHold reader(m.repo.file());
    // An open read keeps the writer from committing.
    ASSERT_TRUE(reader.run("BEGIN; SELECT COUNT(*) FROM REVENT;"));
    int id = -1;
    VqbString error;
    EXPECT_FALSE(other.meta->addRepositoryEvent(VqbString("lost?"), 0, VqbString(""), VqbString("A"), &id, error));
    EXPECT_EQ(id, -1);
    EXPECT_EQ(error.str().rfind("create repository event error: ", 0), 0u) << error.str();
    EXPECT_FALSE(other.meta->deleteRepositoryEvents(0, 1e9, error));
    EXPECT_EQ(error.str().rfind("Error removing repository events: ", 0), 0u) << error.str();
    ASSERT_TRUE(reader.run("COMMIT;"));

    EXPECT_FALSE(other.connection->isInTransaction());
    EXPECT_EQ(m.repo.rows("SELECT EVT_ID, EVT_SBJT FROM REVENT"), (Rows{{std::to_string(kept), "kept"}}));
    int later = addEvent(other.meta.get(), "written", 0, "A");
    EXPECT_EQ(m.repo.rows("SELECT EVT_SBJT FROM REVENT WHERE EVT_ID=?", {VqbDatavar(later)}), (Rows{{"written"}}));
}

TEST(MetaEvents, TwoProcessesAddingAtOnceLoseNothingTheyReportWritten) {
    MetaRepository m;
    constexpr int kEach = 150;
    TempDir dir;
    std::string outA = dir.file("a.txt"), outB = dir.file("b.txt"), db = m.repo.file();
    pid_t a = fork();
    ASSERT_GE(a, 0);
    if (a == 0) addInChild(db, outA, "A", kEach);
    pid_t b = fork();
    ASSERT_GE(b, 0);
    if (b == 0) addInChild(db, outB, "B", kEach);
    int statusA = 0, statusB = 0;
    waitpid(a, &statusA, 0);
    waitpid(b, &statusB, 0);
    ASSERT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0);
    ASSERT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0);

    std::map<std::string, std::string> table;  // id -> subject
    for (const auto& row : m.repo.rows("SELECT EVT_ID, EVT_SBJT FROM REVENT")) table[row[0]] = row[1];
    std::set<std::string> reported;
    size_t written = 0;
    for (const auto& [out, source] : {std::pair{outA, "A"}, std::pair{outB, "B"}}) {
        std::vector<std::string> lines = linesOf(out);
        EXPECT_EQ(lines.size(), static_cast<size_t>(kEach));
        for (const std::string& line : lines) {
            std::istringstream in(line);
            std::string state, id, n;
            in >> state >> id >> n;
            if (state != "OK") continue;
            ++written;
            EXPECT_TRUE(reported.insert(id).second) << "id " << id << " reported twice";
            ASSERT_EQ(table.count(id), 1u) << "event " << id << " reported written but missing";
            EXPECT_EQ(table[id], std::string(source) + "-" + n);
        }
    }
    // Nothing in the table that no one reported; with the usual wait for locks, everything lands.
    EXPECT_EQ(table.size(), written);
    EXPECT_EQ(written, 2u * kEach);
}

TEST(MetaEvents, AProcessThatCannotGetTheFileReportsFailure) {
    MetaRepository m;
    TempDir dir;
    std::string out = dir.file("child.txt"), db = m.repo.file();
    RawHold writer(db);
    ASSERT_TRUE(writer.run("BEGIN IMMEDIATE; UPDATE INFO SET I_MVER = I_MVER;"));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqliteSetBusyTimeout(50);
        addInChild(db, out, "C", 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(writer.run("ROLLBACK;"));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<std::string> lines = linesOf(out);
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) EXPECT_NE(line.find("FAIL"), std::string::npos) << line;
    EXPECT_NE(lines[0].find("create repository event error: "), std::string::npos) << lines[0];
    EXPECT_EQ(m.count("REVENT"), 0);
}
