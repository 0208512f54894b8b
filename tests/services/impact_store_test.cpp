// The resource values, the store of resources and links, macros and the host's resolver.
#include <gtest/gtest.h>

#include <stdexcept>

#include "impact_fixture.h"
#include "vqresmgr.h"

namespace {

using Strings = std::vector<std::string>;

class Resolver : public ResourceResolver {
public:
    VqResource* getResource(const VqbString&) override { return nullptr; }
    bool resolve(const VqbString&, const VqbString&, const VqbString& type, VqbString& newName,
                 VqbString& location) override {
        if (throws) throw std::runtime_error("resolver broke");
        if (type.equals("File")) {
            newName = VqbString("renamed.txt");
            location = VqbString("/mnt/share");
        }
        return false;
    }
    bool throws = false;
};

VqResourceImpl resource(const char* type, const char* identity) {
    VqResourceImpl r;
    r.setType(VqbString(type));
    r.setIdentity(VqbString(identity));
    r.setName(VqbString(identity));
    return r;
}

}  // namespace

TEST(ResourceValues, ListsAndCursors) {
    // An element appended after the cursor ran out is the next one.
    ReposHeld<VqResourceList> list(new VqResourceListImpl());
    EXPECT_FALSE(list->next());
    EXPECT_EQ(list->getCurrent(), nullptr);
    VqResourceImpl a = resource("Table", "ID-A"), b = resource("File", "id-b");
    list->addNew();
    list->setCurrentFrom(0, &a);
    ASSERT_TRUE(list->next());
    list->addNew();
    list->setCurrentFrom(0, &b);  // writes the last element, not the current one
    EXPECT_EQ(list->getCurrent()->getIdentity().str(), "ID-A");
    VqResourceImpl probe = resource("Database", "id-a");
    EXPECT_TRUE(list->contains(&probe)) << "identity ignoring case, type not compared";
    VqResourceImpl missing = resource("Table", "id-c");
    EXPECT_FALSE(list->contains(&missing));
    EXPECT_FALSE(list->next());
    list->reset();
    ASSERT_TRUE(list->next());
    EXPECT_EQ(list->getCurrent()->getIdentity().str(), "ID-A");

    VqStringListImpl strings(2);
    EXPECT_FALSE(strings.next());
    EXPECT_EQ(strings.getCount(), 0);
    strings.addRow();
    strings.setLast(1, VqbString("x"));
    ASSERT_TRUE(strings.next());
    EXPECT_EQ(strings.getAt(1).str(), "x");
    for (int outside : {-1, 2}) EXPECT_TRUE(strings.getAt(outside).isEmpty()) << outside;

    ReposHeld<VqResourcePropertyList> p1(a.getProperties()), p2(a.getProperties());
    EXPECT_NE(p1.get(), p2.get());
    EXPECT_FALSE(p1->next());
    p1->addNew();
    p1->setCurrent(VqbString("k"), VqbString("v"));
    ASSERT_TRUE(p1->next());
    EXPECT_EQ(p1->getName().str() + "=" + p1->getValue().str(), "k=v");
}

TEST(ResourceValues, MacroExpansion) {
    ConfigScope config;
    config.set("DIR", "/data");
    config.set("NESTED", "%%DIR%%/in");
    config.set("SELF", "x%%SELF%%");
    config.set("EMPTY", "");
    config.set("BIG", std::string(600 * 1024, 'b').c_str());
    const struct {
        const char* text;
        const char* expanded;  // null: unresolved
    } cases[] = {
        {"%%DIR%%/a.txt", "/data/a.txt"}, {"%%NESTED%%/%%DIR%%", "/data/in//data"},
        {"no macro", nullptr},            {"%%MISSING%%/a", nullptr},
        {"%%EMPTY%%", nullptr},           {"%%SELF%%", nullptr},
        {"%%BIG%%%%BIG%%", nullptr},      {"half %%DIR", nullptr},
    };
    for (const auto& c : cases) {
        VqbString out("untouched");
        bool resolved = RepositoryImpactAnalysisImpl::expandMacros(VqbString(c.text), out);
        EXPECT_EQ(resolved ? out.str() : "<unresolved>", c.expanded ? c.expanded : "<unresolved>") << c.text;
    }
}

TEST_P(Impact, LinksFollowTheLastList) {
    auto owner = add("Task", "task-1");
    auto a = add("File", "A"), b = add("File", "B"), c = add("File", "C"), dupB = add("Table", "b");
    const struct {
        std::vector<const VqResource*> first, second;
        bool walkPastEnd;  // the producer left the list's cursor at its end
        Strings linked;
    } cases[] = {
        {{a.get(), b.get()}, {b.get(), c.get()}, false, {"B", "C"}},
        {{a.get(), b.get()}, {}, false, {}},
        {{}, {a.get(), b.get(), c.get()}, true, {"A", "B", "C"}},
        // B and a Table of identity "b" are one element to contains, but both are listed here.
        {{c.get()}, {a.get(), b.get(), dupB.get(), a.get()}, true, {"A", "B", "b"}},
    };
    for (const auto& k : cases) {
        for (const auto* list : {&k.first, &k.second}) {
            ReposHeld<VqResourceList> l(impact->createResourceList());
            for (const VqResource* r : *list) {
                l->addNew();
                l->setCurrentFrom(0, r);
            }
            if (k.walkPastEnd) l->contains(c.get());
            ASSERT_TRUE(impact->addResourceDependencies(owner.get(), l.get())) << impact->getErrorMessage().str();
        }
        const auto expected = std::set<std::string>(k.linked.begin(), k.linked.end());
        EXPECT_EQ(links(owner.get()), expected);
        // Looking at the dependencies stamps the owner and never drops a link.
        EXPECT_EQ(names(impact->getDependentResources(owner.get())).size(), expected.size());
        EXPECT_EQ(links(owner.get()), expected);
    }
    EXPECT_EQ(repo->count("IMPRCS", "RCS_ADAT > 0"), 5) << "the owner and every listed resource are stamped";
    EXPECT_EQ(names(impact->getUsedByResources(a.get())), Strings{"Task:task-1"});
    EXPECT_EQ(names(impact->getDependentResourcesByType(owner.get(), VqbString("Table"))), Strings{"Table:b"});
}

TEST_P(Impact, ResourcesFoundAddedAndNamed) {
    ReposHeld<VqResourceManager> m(createVqResourceManager());
    VqbString db, table;
    ASSERT_TRUE(m->getDatabaseIdentity(VqbString("DSN=sales"), VqbString("ODBC"), db));
    ASSERT_TRUE(m->getTableIdentity(VqbString("DSN=sales"), VqbString("ODBC"), "", "dbo", "orders", table));
    auto first = add("Database", db.str(), "sales");
    auto again = add("Database", db.str(), "other name");
    EXPECT_EQ(again->getName().str(), "sales");
    EXPECT_EQ(repo->count("IMPRCS"), 1);
    // A table gets a link to its known database the first time it is looked at.
    auto orders = add("Table", table.str(), "orders");
    EXPECT_EQ(names(impact->getDependentResources(orders.get())), Strings{"Database:sales"});
    EXPECT_EQ(links(orders.get()), std::set<std::string>{"sales"});

    ReposHeld<VqStringList> types(impact->getResourceTypes());
    EXPECT_EQ(types->getColumnCount(), 1);
    EXPECT_EQ(types->getCount(), 2);
    EXPECT_TRUE(impact->renameResource(VqbString("Table"), table, VqbString("orders 2024")));
    EXPECT_EQ(repo->rows("SELECT RCS_NM FROM {IMPRCS} WHERE RCS_TYPE = 'Table'"), Rows{{"orders 2024"}});
    EXPECT_FALSE(impact->renameResource(VqbString("Table"), VqbString("nothing"), VqbString("x")));
    EXPECT_EQ(impact->getErrorMessage().str(), "The impact resource could not be found to rename.");
}

TEST_P(Impact, MacroIdentitiesExpandWhenTheOptionHasAValue) {
    config.set("LOGDIR", "/var/log");
    config.set("LOOP", "%%LOOP%%");
    ReposHeld<VqResourceManager> m(createVqResourceManager());
    const struct {
        const char* path;
        Strings extra;  // what getDependentResources adds for the owner's own identity
    } cases[] = {
        {"%%LOGDIR%%/app.log", {"File:app.log"}},
        {"%%NOSUCH%%/app.log", {}},
        {"%%LOOP%%/app.log", {}},
    };
    for (const auto& c : cases) {
        VqbString identity;
        ASSERT_TRUE(m->getFileIdentity(VqbString(c.path), VqbString("app.log"), identity));
        auto owner = add("File", identity.str(), c.path);
        EXPECT_TRUE(owner->containsMacro());
        EXPECT_EQ(names(impact->getDependentResources(owner.get())), c.extra) << c.path;
    }
    // The expanded resource is stored under the expanded identity; listing all expands names too.
    Strings all = names(impact->getAllResources());
    EXPECT_EQ(std::count(all.begin(), all.end(), "File:/var/log/app.log"), 1) << ::testing::PrintToString(all);
}

TEST_P(Impact, RemovalRefusesWhatIsStillLinked) {
    auto owner = add("Task", "t"), used = add("File", "f"), loose = add("File", "loose");
    auto list = listOf({used.get()});
    ASSERT_TRUE(impact->addResourceDependencies(owner.get(), list.get()));
    for (const VqResource* linked : {owner.get(), used.get()}) {
        EXPECT_FALSE(impact->removeResourceIfNotUsed(linked)) << linked->getName().str();
        EXPECT_EQ(impact->getErrorMessage().str(), "The resource could not be deleted.  It is still a dependency.");
    }
    EXPECT_TRUE(impact->removeResource(loose.get()));
    EXPECT_EQ(repo->count("IMPRCS"), 2);
    ASSERT_TRUE(impact->removeDependentResources(owner.get()));
    EXPECT_EQ(repo->count("IMPDEP"), 0);
    EXPECT_TRUE(impact->removeUnusedResources());
    EXPECT_EQ(repo->count("IMPRCS"), 0);

    // Both tables are emptied or neither: links go first.
    auto again = add("Task", "t2"), file = add("File", "f2");
    list = listOf({file.get()});
    ASSERT_TRUE(impact->addResourceDependencies(again.get(), list.get()));
    for (const char* refusing : {"IMPDEP", "IMPRCS"}) {
        ASSERT_TRUE(repo->refuse(Refused::Delete, refusing));
        EXPECT_FALSE(impact->removeAllResources()) << refusing;
        EXPECT_FALSE(impact->getErrorMessage().isEmpty());
        EXPECT_EQ(repo->count("IMPDEP") * 10 + repo->count("IMPRCS"), 12) << refusing;
        repo->allow(Refused::Delete, refusing);
    }
    EXPECT_TRUE(impact->removeAllResources());
    EXPECT_EQ(repo->count("IMPDEP") + repo->count("IMPRCS"), 0);
}

TEST_P(Impact, ResolverSetsLocationAndAFailingOneIsReported) {
    add("File", "file-id", "in.txt");
    add("Table", "table-id", "orders");
    Resolver resolver;
    impact->setResourceResolver(&resolver);
    impact->setResourceResolver(nullptr);  // keeps the one set
    const struct {
        const char* type;
        const char* identity;
        bool resolved;
        const char* name;
        const char* location;
    } cases[] = {{"File", "file-id", false, "renamed.txt", "/mnt/share"}, {"Table", "table-id", true, "orders", ""}};
    for (const auto& c : cases) {
        ReposHeld<VqResource> r(impact->findResource(VqbString(c.type), VqbString(c.identity)));
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->isResolved(), c.resolved) << c.type;
        EXPECT_EQ(r->getName().str() + "@" + r->getLocation().str(), std::string(c.name) + "@" + c.location);
    }
    resolver.throws = true;
    EXPECT_EQ(impact->findResource(VqbString("File"), VqbString("file-id")), nullptr);
    EXPECT_EQ(impact->getAllResources(), nullptr);
    EXPECT_EQ(impact->getErrorMessage().str(), "resolver broke");
}

