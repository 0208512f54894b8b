// A copy empties the target's big strings and fills them again under ids the target may have
// used for other texts: a connection open on the target since before the copy must still find
// every copied long name once and refuse it a second time. Row counts are read from outside the
// library.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "copy_fixture.h"
#include "repos_common_rda.h"
#include "repos_held.h"

namespace {

// 300 characters, the first 280 alike in every name: only the end tells two names apart.
std::vector<std::string> longNames(const std::string& tag, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(std::string(280, 'n') + tag + std::to_string(i));
        names.back().resize(300, '.');
    }
    return names;
}

unsigned addRule(CommonRepositoryDataAccess& rda, const std::string& name) {
    return rda.addRule(name, "ROW", "A > 0", "G", "<meta/>", "ann", "", 0, "", "");
}
bool refused(unsigned id) { return id == 0 || id == 0xFFFFFFFFu; }

}  // namespace

class CopyLongNames : public CopyTest {
protected:
    // A repository of its own, with a rule for each name; on a file, long names go to its big
    // strings only through the connector.
    RepositoryImpl* withRules(Place place, std::string& where, bool viaConnector, const std::vector<std::string>& names) {
        if (!create(place, where)) return nullptr;
        RepositoryImpl* r = open(place, where, viaConnector);
        if (!r) return nullptr;
        ReposHeld<CommonRepositoryDataAccess> rda(r->createCommonRepositoryDataAccess());
        for (const std::string& name : names) EXPECT_FALSE(refused(addRule(*rda, name)));
        return r;
    }

    // A connection to a target that stays open across the copy, after it looked up each name
    // the target holds.
    struct Watcher {
        Place place;
        std::string where;
        RepositoryImpl* repository;
        ReposHeld<CommonRepositoryDataAccess> rda;
    };
    std::unique_ptr<Watcher> watch(Place place, const std::string& where, const std::vector<std::string>& names) {
        RepositoryImpl* r = open(place, where, true);
        if (!r) return nullptr;
        auto w = std::unique_ptr<Watcher>(new Watcher{place, where, r, reposHold(r->createCommonRepositoryDataAccess())});
        for (const std::string& name : names) EXPECT_EQ(take(w->rda->findRule(0, name, "")).size(), 1u);
        return w;
    }

    long rawCount(const Watcher& w, const char* table) {
        const std::string sql = "SELECT COUNT(*) FROM " + t(w.repository, table);
        if (w.place != Place::Postgres) return std::atol(RawDb(w.where).scalar(sql).c_str());
        DacHeld raw(dacOpen(pgConnection()));
        return raw ? std::atol(dacScalar(raw.get(), sql).c_str()) : -1;
    }

    // The watcher finds each copied name in one rule and refuses to add it again, writing nothing.
    void expectEachOnce(Watcher& w, const std::vector<std::string>& names) {
        const long chunks = rawCount(w, "BIGSTR");
        ASSERT_GT(chunks, 0) << "the copied names were not kept apart";
        for (const std::string& name : names) {
            SCOPED_TRACE(name.substr(280));
            EXPECT_EQ(take(w.rda->findRule(0, name, "")).size(), 1u);
            EXPECT_TRUE(refused(addRule(*w.rda, name)));
        }
        EXPECT_EQ(rawCount(w, "RULE"), static_cast<long>(names.size()));
        EXPECT_EQ(rawCount(w, "BIGSTR"), chunks);
    }
};

TEST_F(CopyLongNames, AConnectionOpenOnAFileTargetFindsEachCopiedNameOnce) {
    std::string source, target;
    const std::vector<std::string> copied = longNames("src", 20), old = longNames("old", 30);
    RepositoryImpl* s = withRules(Place::File, source, true, copied);
    RepositoryImpl* t = withRules(Place::File, target, true, old);
    ASSERT_TRUE(s && t);
    std::unique_ptr<Watcher> w = watch(Place::File, target, old);
    ASSERT_TRUE(w);
    ASSERT_TRUE(admin_->copyRepository(s, t)) << admin_->getErrorMessage().str();
    expectEachOnce(*w, copied);
}

// Names kept inline in a file opened directly become big strings on the server, then in a
// file reached through the connector.
TEST_F(CopyLongNames, ConnectionsOpenOnEachTargetFindEachNameOnceFileToServerToFile) {
    REPOS_REQUIRE_PG();
    std::string source, middle, target;
    const std::vector<std::string> copied = longNames("src", 45), old = longNames("old", 30);
    RepositoryImpl* s = withRules(Place::File, source, false, copied);
    RepositoryImpl* m = withRules(Place::Postgres, middle, false, old);
    RepositoryImpl* t = withRules(Place::File, target, true, old);
    ASSERT_TRUE(s && m && t);
    std::unique_ptr<Watcher> onServer = watch(Place::Postgres, middle, old);
    std::unique_ptr<Watcher> onFile = watch(Place::File, target, old);
    ASSERT_TRUE(onServer && onFile);
    ASSERT_TRUE(admin_->copyRepository(s, m)) << admin_->getErrorMessage().str();
    expectEachOnce(*onServer, copied);
    ASSERT_TRUE(admin_->copyRepository(m, t)) << admin_->getErrorMessage().str();
    expectEachOnce(*onFile, copied);
}
