// Resource lists found by identity: the key map beside the elements must answer as a walk of the
// list would, through every way a list changes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "impact_fixture.h"

namespace {

VqResourceImpl resource(const std::string& identity, const char* type = "File") {
    VqResourceImpl r;
    r.setType(VqbString(type));
    r.setIdentity(VqbString(identity));
    r.setName(VqbString(identity));
    return r;
}

void appendTo(VqResourceList* list, const std::string& identity, const char* type = "File") {
    VqResourceImpl r = resource(identity, type);
    ASSERT_TRUE(list->addNew());
    list->setCurrentFrom(0, &r);
}

bool contains(VqResourceList* list, const std::string& identity) {
    VqResourceImpl probe = resource(identity, "Probe");
    return list->contains(&probe);
}

std::string current(VqResourceList* list) {
    const VqResource* r = list->getCurrent();
    return r ? r->getType().str() + ":" + r->getIdentity().str() : "<none>";
}

// The list as a plain walk: elements in order, the cursor of next()/reset(), contains() walking
// from the start and comparing each identity ignoring ASCII case.
class WalkedList {
public:
    void addNew() { ids_.push_back(""); }
    void setLast(const std::string& id) {
        if (!ids_.empty()) ids_.back() = id;
    }
    bool next() {
        if (!started_) {
            started_ = true;
            at_ = 0;
        } else if (!past_ && at_ < ids_.size()) {
            ++at_;
        }
        past_ = at_ >= ids_.size();
        return !past_;
    }
    void reset() { started_ = past_ = false, at_ = 0; }
    bool contains(const std::string& id) {
        reset();
        while (next())
            if (VqbString(ids_[at_]).equals(VqbString(id), false)) return true;
        return false;
    }
    std::string current() const { return started_ && !past_ && at_ < ids_.size() ? ids_[at_] : "<none>"; }

private:
    std::vector<std::string> ids_;
    size_t at_ = 0;
    bool started_ = false, past_ = false;
};

}  // namespace

TEST(ResourceListKeys, FollowTheLastElementThroughEveryProducer) {
    ReposHeld<VqResourceList> list(new VqResourceListImpl());
    EXPECT_FALSE(contains(list.get(), "a")) << "empty list";
    appendTo(list.get(), "K");
    appendTo(list.get(), "j");
    // Overwriting the last element takes its old identity out of the list...
    VqResourceImpl m = resource("M");
    list->setCurrentFrom(0, &m);
    EXPECT_FALSE(contains(list.get(), "J"));
    EXPECT_TRUE(contains(list.get(), "m"));
    // ...but not the same identity held by an earlier element.
    VqResourceImpl k = resource("k", "Table");
    list->setCurrentFrom(0, &k);
    EXPECT_FALSE(contains(list.get(), "m"));
    ASSERT_TRUE(contains(list.get(), "K"));
    EXPECT_EQ(current(list.get()), "File:K") << "the first of two equal identities";
    list->setCurrentFrom(0, &m);
    ASSERT_TRUE(contains(list.get(), "k"));
    EXPECT_EQ(current(list.get()), "File:K");

    // An element appended empty is found by the empty identity until it is written.
    ASSERT_TRUE(list->addNew());
    EXPECT_TRUE(contains(list.get(), ""));
    VqResourceImpl n = resource("n");
    list->setCurrentFrom(0, &n);
    EXPECT_FALSE(contains(list.get(), ""));
    EXPECT_TRUE(contains(list.get(), "N"));

    // The lists the store fills are found by identity as well.
    auto* filled = new VqResourceListImpl();
    ReposHeld<VqResourceList> held(filled);
    filled->append(std::make_unique<VqResourceImpl>(resource("Filled-One")));
    filled->append(std::make_unique<VqResourceImpl>(resource("FILLED-one", "Table")));
    ASSERT_TRUE(contains(filled, "filled-ONE"));
    EXPECT_EQ(current(filled), "File:Filled-One");
}

TEST(ResourceListKeys, MatchIgnoringAsciiCaseOnly) {
    ReposHeld<VqResourceList> list(new VqResourceListImpl());
    appendTo(list.get(), "file|/Data/Run.LOG");
    appendTo(list.get(), "\xC3\x84rger");      // "Ärger"
    appendTo(list.get(), "table|dsn=x|\xC3\xA9t\xC3\xA9");  // "été"
    const struct {
        std::string probe;
        bool found;
    } cases[] = {
        {"FILE|/DATA/RUN.log", true},
        {"file|/data/run.log ", false},
        {"\xC3\x84RGER", true},                      // "ÄRGER": the same bytes for Ä
        {"\xC3\xA4rger", false},                     // "ärger": Ä and ä are not ASCII
        {"TABLE|DSN=X|\xC3\xA9T\xC3\xA9", true},     // "été" kept, ASCII lowered
        {"TABLE|DSN=X|\xC3\x89T\xC3\x89", false},    // "ÉTÉ"
    };
    for (const auto& c : cases) EXPECT_EQ(contains(list.get(), c.probe), c.found) << c.probe;
}

TEST(ResourceListKeys, LeaveTheCursorWhereAWalkWould) {
    ReposHeld<VqResourceList> list(new VqResourceListImpl());
    for (const char* id : {"a", "b", "B", "c"}) appendTo(list.get(), id);
    ASSERT_TRUE(contains(list.get(), "b"));
    EXPECT_EQ(current(list.get()), "File:b");
    ASSERT_TRUE(list->next());
    EXPECT_EQ(current(list.get()), "File:B") << "the walk goes on after the match";
    EXPECT_FALSE(contains(list.get(), "d"));
    EXPECT_EQ(list->getCurrent(), nullptr);
    EXPECT_FALSE(list->next());
    // Past the end the cursor waits: an element appended afterwards is the next one.
    appendTo(list.get(), "e");
    ASSERT_TRUE(list->next());
    EXPECT_EQ(current(list.get()), "File:e");
    list->reset();
    ASSERT_TRUE(list->next());
    EXPECT_EQ(current(list.get()), "File:a");
}

// Many changes in random order against the plain walk: every answer and every cursor alike.
TEST(ResourceListKeys, AnswerAsAWalkOverRandomChanges) {
    const std::vector<std::string> identities = {"", "a", "A", "ab", "aB", "AB", "b", "\xC3\x84", "\xC3\xA4", "x|Y"};
    std::mt19937 random(48);
    ReposHeld<VqResourceList> list(new VqResourceListImpl());
    WalkedList walked;
    for (int step = 0; step < 4000; ++step) {
        const std::string& id = identities[random() % identities.size()];
        SCOPED_TRACE(std::to_string(step) + " " + id);
        switch (random() % 6) {
            case 0:
            case 1: {
                ASSERT_TRUE(list->addNew());
                walked.addNew();
                VqResourceImpl r = resource(id);
                list->setCurrentFrom(0, &r);
                walked.setLast(id);
                break;
            }
            case 2: {
                VqResourceImpl r = resource(id, "Table");
                list->setCurrentFrom(0, &r);
                walked.setLast(id);
                break;
            }
            case 3:
                ASSERT_EQ(contains(list.get(), id), walked.contains(id));
                break;
            case 4:
                ASSERT_EQ(list->next(), walked.next());
                break;
            default:
                list->reset();
                walked.reset();
                break;
        }
        const VqResource* at = list->getCurrent();
        ASSERT_EQ(at ? at->getIdentity().str() : "<none>", walked.current());
    }
}
