// Copying a whole repository between files and the server, and the copies that must be refused.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>

#include "common_rdaimpl.h"
#include "copy_fixture.h"
#include "repos_held.h"
#include "repos_tables.h"
#include "vqbmessage.h"

namespace {

// The big-string counter of the target runs ahead of the source's (the long texts are stored
// anew in the target): taken out of the comparison.
long long takeBigStringCounter(Snapshot& shot) {
    Rows& rows = shot["UCURID"];
    auto at = std::find_if(rows.begin(), rows.end(), [](const auto& row) { return row[0] == "BIGSTR"; });
    if (at == rows.end()) return 0;
    long long counter = std::stoll((*at)[1]);
    rows.erase(at);
    return counter;
}

}  // namespace

class RepositoryCopy : public CopyTest {
protected:
    // Fills a source at from, a target at to holding other rows and work tables, copies and
    // compares every table.
    void copyAndCompare(Place from, bool sourceViaConnector, Place to, bool targetViaConnector) {
        std::string source, target;
        ASSERT_TRUE(create(from, source));
        ASSERT_TRUE(create(to, target));
        for (int seed : {0, 1}) {
            // Filled through the connector, so the long texts of a file go to its big strings too.
            RepositoryImpl* r = seed ? open(to, target, true) : open(from, source, true);
            ASSERT_NE(r, nullptr);
            fill(r, seed);
            // In the target, a work table of a field the source has no table for.
            if (seed) addFrequencyTable(r, 2, {{"stale", "1"}});
            close(r);
        }
        RepositoryImpl* s = open(from, source, sourceViaConnector);
        RepositoryImpl* t = open(to, target, targetViaConnector);
        ASSERT_NE(s, nullptr);
        ASSERT_NE(t, nullptr);
        ASSERT_FALSE(select(s, "SELECT BS_REFID FROM " + this->t(s, "BIGSTR")).empty()) << "no long text was stored";
        Snapshot settingsBefore = snapshot(t, true);
        Snapshot expected = snapshot(s);

        ASSERT_TRUE(admin_->copyRepository(s, t)) << admin_->getErrorMessage().str();

        Snapshot copied = snapshot(t);
        EXPECT_GE(takeBigStringCounter(copied), takeBigStringCounter(expected));
        auto names = [](const Snapshot& shot) {
            std::vector<std::string> out;
            for (const auto& table : shot) out.push_back(table.first);
            return out;
        };
        EXPECT_EQ(names(copied), names(expected));
        for (const auto& table : expected) EXPECT_EQ(copied[table.first], table.second) << table.first;
        EXPECT_EQ(snapshot(t, true), settingsBefore) << "INFO or KEYVAL of the target changed";
        // HGMETA row 1 names two grouping fields; row 2 none.
        EXPECT_EQ(indexedColumns(t, "HSM1"), (std::vector<std::string>{"fieldidx", "grpfld1", "grpfld2"}));
        EXPECT_EQ(indexedColumns(t, "HCM1"), (std::vector<std::string>{"grpfld1", "grpfld2"}));
        EXPECT_EQ(indexedColumns(t, "HSM2"), (std::vector<std::string>{"fieldidx"}));
        // Every big-string row of the target belongs to a text it holds.
        if (t->connection()->getMaxTextLen() < 3000) {
            EXPECT_FALSE(select(t, "SELECT BS_REFID FROM " + this->t(t, "BIGSTR")).empty());
        }
    }

    // Two new repositories, opened directly (files) or through the connector (server).
    bool openPair(Place from, Place to, RepositoryImpl*& s, RepositoryImpl*& t) {
        std::string source, target;
        if (!create(from, source) || !create(to, target)) return false;
        s = open(from, source);
        t = open(to, target);
        return s && t;
    }
};

TEST_F(RepositoryCopy, FileToFileReplacesEveryTable) {
    copyAndCompare(Place::File, true, Place::File, false);
}

TEST_F(RepositoryCopy, FileToServer) {
    REPOS_REQUIRE_PG();
    copyAndCompare(Place::File, false, Place::Postgres, false);
}

TEST_F(RepositoryCopy, ServerToFile) {
    REPOS_REQUIRE_PG();
    copyAndCompare(Place::Postgres, false, Place::File, true);
}

TEST_F(RepositoryCopy, OntoItselfIsRefusedAndChangesNothing) {
    std::string where;
    ASSERT_TRUE(create(Place::File, where));
    RepositoryImpl* direct = open(Place::File, where);
    RepositoryImpl* again = open(Place::File, where);
    RepositoryImpl* connector = open(Place::File, where, true);
    ASSERT_TRUE(direct && again && connector);
    fill(direct, 0);
    Snapshot before = snapshot(direct);

    const std::pair<RepositoryImpl*, RepositoryImpl*> pairs[] = {
        {direct, direct}, {direct, again}, {connector, direct}, {direct, connector}};
    for (const auto& pair : pairs) {
        EXPECT_FALSE(admin_->copyRepository(pair.first, pair.second));
        EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1960));
    }
    EXPECT_EQ(snapshot(direct), before);
    EXPECT_EQ(select(direct, "SELECT COUNT(*) FROM " + t(direct, "KEYVAL") + " WHERE V_KEY LIKE '~CP%'"),
              (Rows{{"0"}}));
}

TEST_F(RepositoryCopy, OntoItselfOnTheServerIsRefusedButAnotherPrefixIsNot) {
    REPOS_REQUIRE_PG();
    std::string first, second;
    ASSERT_TRUE(create(Place::Postgres, first) && create(Place::Postgres, second));
    RepositoryImpl* a = open(Place::Postgres, first);
    RepositoryImpl* sameA = open(Place::Postgres, first);
    RepositoryImpl* b = open(Place::Postgres, second);
    ASSERT_TRUE(a && sameA && b);
    ASSERT_TRUE(exec(a, "INSERT INTO " + t(a, "FOLDER") + " (FLDR_ID, FLDR_PAR, FLDR_NAM) VALUES (?, 0, 'kept')",
                     {VqbDatavar(77)}));
    EXPECT_FALSE(admin_->copyRepository(a, sameA));
    EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1960));
    EXPECT_EQ(select(a, "SELECT FLDR_NAM FROM " + t(a, "FOLDER") + " WHERE FLDR_ID=77"), (Rows{{"kept"}}));

    EXPECT_TRUE(admin_->copyRepository(a, b)) << admin_->getErrorMessage().str();
    EXPECT_EQ(select(b, "SELECT FLDR_NAM FROM " + t(b, "FOLDER") + " WHERE FLDR_ID=77"), (Rows{{"kept"}}));
}

TEST_F(RepositoryCopy, WrongArgumentsAndVersionsChangeNothing) {
    RepositoryImpl *s = nullptr, *t = nullptr;
    ASSERT_TRUE(openPair(Place::File, Place::File, s, t));
    ASSERT_TRUE(exec(t, "INSERT INTO FOLDER (FLDR_ID, FLDR_PAR, FLDR_NAM) VALUES (5, 0, 'target')"));
    // Never opened: no connection behind it.
    RepositoryImpl* blank = new RepositoryImpl();

    EXPECT_FALSE(admin_->copyRepository(nullptr, t));
    EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1307));
    EXPECT_FALSE(admin_->copyRepository(s, nullptr));
    EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1308));
    EXPECT_FALSE(admin_->copyRepository(blank, t));
    EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1965));
    blank->release();

    // A source of another version is refused before anything is touched.
    ASSERT_TRUE(exec(s, "UPDATE INFO SET I_VERS=7 WHERE I_TYPE='VQREPOSITORY'"));
    ASSERT_TRUE(s->readVersionInfo());
    EXPECT_FALSE(admin_->copyRepository(s, t));
    EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1310));
    ASSERT_TRUE(exec(t, "UPDATE INFO SET I_VERS=7 WHERE I_TYPE='VQREPOSITORY'"));
    ASSERT_TRUE(t->readVersionInfo());
    ASSERT_TRUE(exec(s, "UPDATE INFO SET I_VERS=8 WHERE I_TYPE='VQREPOSITORY'"));
    ASSERT_TRUE(s->readVersionInfo());
    EXPECT_FALSE(admin_->copyRepository(s, t));
    EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1309));
    EXPECT_EQ(select(t, "SELECT FLDR_NAM FROM FOLDER WHERE FLDR_ID=5"), (Rows{{"target"}}));
}

// A row the target refuses fails the copy, names the table, and leaves that table as it was.
TEST_F(RepositoryCopy, RefusedRowFailsTheCopyAndKeepsTheTable) {
    RepositoryImpl *s = nullptr, *t = nullptr;
    ASSERT_TRUE(openPair(Place::File, Place::File, s, t));
    ASSERT_TRUE(exec(s, "DELETE FROM FOLDER"));
    ASSERT_TRUE(exec(s, "INSERT INTO FOLDER (FLDR_ID, FLDR_PAR, FLDR_NAM) VALUES (1, 0, 'a'), (2, 0, 'refused')"));
    ASSERT_TRUE(exec(t, "DELETE FROM FOLDER"));
    ASSERT_TRUE(exec(t, "INSERT INTO FOLDER (FLDR_ID, FLDR_PAR, FLDR_NAM) VALUES (9, 0, 'old')"));
    ASSERT_TRUE(exec(t,
                     "CREATE TRIGGER no_refused BEFORE INSERT ON FOLDER WHEN NEW.FLDR_NAM = 'refused' "
                     "BEGIN SELECT RAISE(ABORT, 'row refused'); END"));
    EXPECT_FALSE(admin_->copyRepository(s, t));
    std::string error = admin_->getErrorMessage().str();
    EXPECT_NE(error.find("FOLDER"), std::string::npos) << error;
    EXPECT_NE(error.find("row refused"), std::string::npos) << error;
    EXPECT_EQ(select(t, "SELECT FLDR_ID, FLDR_NAM FROM FOLDER"), (Rows{{"9", "old"}}));
    bool unfinished = false;
    EXPECT_TRUE(t->isCopyUnfinished(&unfinished) && unfinished) << "a failed copy left the target unmarked";
}

// A work-table row the server refuses (text in a number column, which a file accepts) fails the
// copy instead of going missing.
TEST_F(RepositoryCopy, RefusedWorkTableRowFailsTheCopy) {
    REPOS_REQUIRE_PG();
    RepositoryImpl *s = nullptr, *t = nullptr;
    ASSERT_TRUE(openPair(Place::File, Place::Postgres, s, t));
    ASSERT_TRUE(exec(s, "INSERT INTO FLD (FLD_ID, TBL_ID, DSN_ID) VALUES (1, 1, 1)"));
    addFrequencyTable(s, 1, {{"good", "1"}});
    ASSERT_TRUE(exec(s, "INSERT INTO FRQDST1 (fr_value, fr_count) VALUES ('bad', 'not a number')"));
    EXPECT_FALSE(admin_->copyRepository(s, t));
    std::string error = admin_->getErrorMessage().str();
    EXPECT_NE(error.find("FRQDST1"), std::string::npos) << error;
    EXPECT_EQ(select(t, "SELECT COUNT(*) FROM " + this->t(t, "FRQDST1")), (Rows{{"0"}}));
    bool unfinished = false;
    EXPECT_TRUE(t->isCopyUnfinished(&unfinished) && unfinished) << "a failed copy left the target unmarked";
    // The target has no field 1 yet, so dropping the repository would leave the table behind.
    EXPECT_TRUE(t->connection()->dropTable("FRQDST1"));
}

TEST_F(RepositoryCopy, EmptySourceEmptiesTheTargetButKeepsItsSettings) {
    RepositoryImpl *s = nullptr, *t = nullptr;
    ASSERT_TRUE(openPair(Place::File, Place::File, s, t));
    fill(t, 1);
    ASSERT_TRUE(exec(t, "INSERT INTO KEYVAL (V_KEY, V_VALUE) VALUES ('mine', 'kept')"));
    Snapshot settings = snapshot(t, true);
    ASSERT_TRUE(admin_->copyRepository(s, t)) << admin_->getErrorMessage().str();
    EXPECT_EQ(snapshot(t), snapshot(s));
    EXPECT_FALSE(hasTable(t, "FRQDST1"));
    EXPECT_FALSE(hasTable(t, "HSM1"));
    EXPECT_EQ(snapshot(t, true), settings);
}

// The copy runs in no transaction of its own. Killed at any point, it leaves a target that an open with validation
// refuses, or one still as it was or already complete, never a silent mix; a copy run again completes it.
TEST_F(RepositoryCopy, KilledCopyLeavesATargetRefusedUntilACopyCompletes) {
    std::string source, target;
    ASSERT_TRUE(create(Place::File, source) && create(Place::File, target));
    for (int seed : {0, 1}) {
        RepositoryImpl* r = open(Place::File, seed ? target : source, true);
        ASSERT_NE(r, nullptr);
        fill(r, seed);
        close(r);
    }
    auto contents = [&](Repository* r) {
        Snapshot shot = snapshot(static_cast<RepositoryImpl*>(r));
        takeBigStringCounter(shot);
        return shot;
    };
    auto copy = [&](KillingCallback* callback, bool validateTarget) {
        admin_->setStatusCallback(callback);
        ReposHeld<Repository> s(admin_->openFileRepository(source, true));
        ReposHeld<Repository> t(admin_->openFileRepository(target, validateTarget));
        bool ok = s && t && admin_->copyRepository(s.get(), t.get());
        admin_->setStatusCallback(nullptr);
        return ok;
    };
    const std::string original = target + ".orig";
    std::filesystem::copy_file(target, original);
    Snapshot old, copied;
    {
        ReposHeld<Repository> s(admin_->openFileRepository(source, true)), t(admin_->openFileRepository(target, true));
        ASSERT_TRUE(s && t);
        old = contents(t.get());
        copied = contents(s.get());
        ASSERT_NE(old, copied);
    }
    // The kill points are drawn from what a whole copy shows, or from the time it takes.
    KillingCallback counter;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(copy(&counter, true)) << admin_->getErrorMessage().str();
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_GT(counter.count, 100);

    std::mt19937 random(std::random_device{}());
    int refused = 0, killed = 0;
    for (int round = 0; round < 6; ++round) {
        const bool atStatement = round % 3 != 2;
        const long killAt = std::uniform_int_distribution<long>(1, counter.count)(random);
        const auto delay = std::uniform_int_distribution<long long>(0, took.count())(random);
        SCOPED_TRACE(atStatement ? "killed at statement " + std::to_string(killAt)
                                 : "killed after " + std::to_string(delay) + " us");
        ASSERT_TRUE(admin_->deleteFile(target));
        std::filesystem::copy_file(original, target);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            KillingCallback killer(atStatement ? killAt : 0);
            _exit(copy(&killer, true) ? 0 : 3);
        }
        if (!atStatement) {
            usleep(static_cast<useconds_t>(delay));
            kill(child, SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        killed += atStatement && WIFSIGNALED(status);
        if (!WIFSIGNALED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0);
        }

        if (ReposHeld<Repository> opened{admin_->openFileRepository(target, true)}) {
            Snapshot now = contents(opened.get());
            EXPECT_TRUE(now == old || now == copied) << "a mix of old and copied rows passed validation";
        } else {
            EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1317));
            ++refused;
        }
        ASSERT_TRUE(copy(nullptr, false)) << admin_->getErrorMessage().str();
        ReposHeld<Repository> completed(admin_->openFileRepository(target, true));
        ASSERT_TRUE(completed) << admin_->getErrorMessage().str();
        EXPECT_EQ(contents(completed.get()), copied);
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(killed, 0) << "no callback stopped its round";
}

TEST_F(RepositoryCopy, TextsShapedLikeReferencesTravelFileToServerToFileAsThemselves) {
    REPOS_REQUIRE_PG();
    std::string source, middle, target;
    ASSERT_TRUE(create(Place::File, source));
    ASSERT_TRUE(create(Place::Postgres, middle));
    ASSERT_TRUE(create(Place::File, target));
    const std::string shaped[] = {"_~_velqorinRef_1_~_", "_~_velqorinRef_2_~_", "_~_velqorinRef_3_~_"};
    const std::string longName(400, 'L');
    RepositoryImpl* s = open(Place::File, source, true);
    ASSERT_NE(s, nullptr);
    {
        ReposHeld<CommonRDAImpl> common(new CommonRDAImpl(s->connection()));
        // Big strings that the shaped names would name if they were kept as given.
        ASSERT_NE(common->addRule(longName, "ROW", "A", "G", "<m/>", "a", "", 0, "", ""), 0u);
        for (const std::string& name : shaped)
            ASSERT_NE(common->addRule(name, "ROW", "A", "G", "<m/>", "a", "", 0, "", ""), 0u);
    }
    RepositoryImpl* m = open(Place::Postgres, middle);
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(admin_->copyRepository(s, m)) << admin_->getErrorMessage().str();
    RepositoryImpl* t = open(Place::File, target);
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(admin_->copyRepository(m, t)) << admin_->getErrorMessage().str();
    for (RepositoryImpl* r : {m, t}) {
        ReposHeld<CommonRDAImpl> common(new CommonRDAImpl(r->connection()));
        Rows names = take(common->listRules());
        std::vector<std::string> got;
        for (const auto& row : names) got.push_back(row[1]);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, (std::vector<std::string>{longName, shaped[0], shaped[1], shaped[2]}));
        for (const std::string& name : shaped) EXPECT_EQ(take(common->findRule(0, name, "")).size(), 1u) << name;
    }
}
