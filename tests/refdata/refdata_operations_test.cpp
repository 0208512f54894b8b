// Every kind of reference-data statement on the real tables: inserts read back by their selects
// and joins (column counts and positions), filters in force and not, deletes that remove exactly
// the filtered rows.
#include <functional>

#include "refdata_fixture.h"

namespace {

std::string s(uint32_t id) {
    return std::to_string(id);
}

// Rows of a cursor, only the given columns (all when none are given).
Rows pick(ReposDataAccessCursor* cursor, const std::vector<int>& columns) {
    Rows all = take(cursor);
    if (columns.empty()) return all;
    Rows picked;
    for (const auto& row : all) {
        picked.emplace_back();
        for (int c : columns) picked.back().push_back(c < static_cast<int>(row.size()) ? row[c] : "<missing>");
    }
    return picked;
}

struct Read {
    const char* what;
    std::function<ReposDataAccessCursor*()> run;
    std::vector<int> columns;
    Rows expected;
    bool ordered = false;  // the statement orders its rows; others come in the database's order
};

struct Removal {
    const char* what;
    std::function<bool()> run;
    const char* remaining;  // a select of what must be left
    Rows expected;
};

}  // namespace

class RefDataOperations : public RefDataTest {
protected:
    // A small world: two accounts, attributes in both containers, a domain with versions inserted
    // as numbers 2 then 1, languages, a three-node hierarchy, values, publications and notes.
    void SetUp() override {
        RefDataTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        RefDataRepositoryDataAccess* r = rda_.get();
        const VqbDate none;
        ASSERT_TRUE(r->addAccount("ann", "USER", "", "ann@example.org", "", "", "", -1, &ann));
        ASSERT_TRUE(r->addAccount("bob", "USER", "", "", "", "", "daily", 0, &bob));
        ASSERT_TRUE(r->addAttribute("colour", "Colour", 1, "SINGLELINETEXT", 1, 1, 0, "", &colour));
        ASSERT_TRUE(r->addAttribute("size", "", 1, "", 1, 7, 0, "MULTILINETEXT", &size));
        ASSERT_TRUE(r->addAttribute("internal", "", 1, "", 2, 1, 0, "", &internal));
        ASSERT_TRUE(r->addDomain("Countries", "ISO", "CT", "Y", "Y", "G", 1, "", static_cast<int>(ann), -1, none, "",
                                 &countries));
        ASSERT_TRUE(r->addDomain("Colours", "", "", "N", "", "", -1, "", -1, -1, none, "", &colours));
        ASSERT_TRUE(r->addDomainVersion(static_cast<int>(countries), 2, "two", "N", "", "", static_cast<int>(ann), "",
                                        -1, none, &second));
        ASSERT_TRUE(r->addDomainVersion(static_cast<int>(countries), 1, "one", "Y", "", "", static_cast<int>(ann), "Y",
                                        static_cast<int>(bob), VqbDate(45000.5), &first));
        ASSERT_TRUE(r->addDomainLanguage(static_cast<int>(countries), 7, &french));
        ASSERT_TRUE(r->addDomainLanguage(static_cast<int>(countries), 1, &english));
        ASSERT_TRUE(r->addDomainLanguageVersion(static_cast<int>(first), static_cast<int>(english)));
        ASSERT_TRUE(r->addItem("DE", "Germany", "Y", "", "", -1, &germany));
        ASSERT_TRUE(r->addItem("FR", "France", "", "", "", -1, &france));
        ASSERT_TRUE(r->addItem("BE", "Belgium", "", "", "", -1, &belgium));
        ASSERT_TRUE(r->addItemVersion(static_cast<int>(first), static_cast<int>(germany), 0, "/DE", -1, &root));
        ASSERT_TRUE(r->addItemVersion(static_cast<int>(first), static_cast<int>(france), 1, "/DE/FR",
                                      static_cast<int>(root), &leafFr));
        ASSERT_TRUE(r->addItemVersion(static_cast<int>(first), static_cast<int>(belgium), 1, "/DE/BE",
                                      static_cast<int>(root), &leafBe));
        ASSERT_TRUE(r->addItemVersion(static_cast<int>(second), static_cast<int>(germany), 0, "/DE", -1, &rootTwo));
        ASSERT_TRUE(r->addItemAttribute(static_cast<int>(root), static_cast<int>(colour), &itemColour));
        ASSERT_TRUE(r->addItemAttributeVersion(static_cast<int>(first), static_cast<int>(itemColour)));
        // Attached to a placement but tied to no version.
        ASSERT_TRUE(r->addItemAttribute(static_cast<int>(leafBe), static_cast<int>(size), nullptr));
        ASSERT_TRUE(r->addItemAttributeValue("black", 1, &black));
        ASSERT_TRUE(r->addItemAttributeValueVersion(static_cast<int>(first), static_cast<int>(black),
                                                    static_cast<int>(itemColour)));
        ASSERT_TRUE(r->addDomainAttribute(static_cast<int>(countries), static_cast<int>(colour), &domainColour));
        ASSERT_TRUE(r->addDomainAttribute(static_cast<int>(countries), static_cast<int>(internal), &domainInternal));
        ASSERT_TRUE(r->addDomainAttributeVersion(static_cast<int>(countries), static_cast<int>(domainColour),
                                                 static_cast<int>(first), "Y"));
        ASSERT_TRUE(r->addDomainAttributeVersion(static_cast<int>(countries), static_cast<int>(domainInternal),
                                                 static_cast<int>(first), "N"));
        ASSERT_TRUE(r->addPublication("pub", "XML", static_cast<int>(countries), 1, "dsn", "sch", &publication));
        ASSERT_TRUE(r->addPublication("lost", "", 999, -1, "", "", nullptr));
        ASSERT_TRUE(r->addNote(static_cast<int>(countries), "P", static_cast<int>(publication), "USER_PUBS", "older", 1,
                               static_cast<int>(ann), &older));
        ASSERT_TRUE(r->addNote(static_cast<int>(countries), "P", static_cast<int>(publication), "USER_PUBS", "newer", 1,
                               static_cast<int>(bob), &newer));
        ASSERT_TRUE(r->addNote(static_cast<int>(countries), "C", static_cast<int>(germany), "RDDOIT", "item", 1,
                               static_cast<int>(ann), nullptr));
        // Stamps a second apart can share a value: make the order certain.
        ASSERT_TRUE(exec("UPDATE " + t("RDNOTS") + " SET CRTDATE=CRTDATE-1 WHERE ID=" + s(older)));
    }

    uint32_t ann = 0, bob = 0, colour = 0, size = 0, internal = 0, countries = 0, colours = 0, second = 0, first = 0,
             french = 0, english = 0, germany = 0, france = 0, belgium = 0, root = 0, leafFr = 0, leafBe = 0,
             rootTwo = 0, itemColour = 0, black = 0, domainColour = 0, domainInternal = 0, publication = 0, older = 0,
             newer = 0;
};

TEST_P(RefDataOperations, InsertsReadBackThroughTheirSelectsAndJoins) {
    RefDataRepositoryDataAccess* r = rda_.get();
    const VqbDate none;
    const Read reads[] = {
        // Whole rows in the table's order; -1 and empty texts left out, 0 written.
        {"account without a role",
         [&] { return r->listAccounts(ann, "", "", "", "", "", ""); },
         {0, 1, 2, 3, 4, 7, 8},
         {{s(ann), "ann", "USER", "<null>", "ann@example.org", "<null>", "<null>"}}},
        {"account with role 0",
         [&] { return r->listAccounts(kNone, "bob", "", "", "", "", ""); },
         {1, 7, 8},
         {{"bob", "daily", "0"}}},
        {"name then id, bound in that order",
         [&] { return r->listAccounts(ann, "ann", "", "", "", "", ""); },
         {0},
         {{s(ann)}}},
        {"both filters in force", [&] { return r->listAccounts(bob, "ann", "", "", "", "", ""); }, {}, {}},
        {"attribute type text from the fourth or the ninth argument",
         [&] { return r->listAttributes(kNone, "", ""); },
         {0, 1, 2, 3, 5, 6},
         {{s(colour), "1", "1", "colour", "SINGLELINETEXT", "1"},
          {s(size), "1", "1", "size", "MULTILINETEXT", "7"},
          {s(internal), "1", "2", "internal", "<null>", "1"}}},
        {"system container by its type",
         [&] { return r->listAttributeContainers(kNone, "RD_SYSTEM_ATTRIBUTE", ""); },
         {0, 1},
         {{"2", "RD_SYSTEM_ATTRIBUTE"}}},
        {"user attributes with a language code",
         [&] { return r->listUserAttributes(kNone, "", ""); },
         {},
         {{s(colour), "colour", "Colour", "EN"}, {s(size), "size", "<null>", "FR"}}},
        {"user attribute by name after the fixed clause",
         [&] { return r->listUserAttributes(kNone, "size", ""); },
         {0},
         {{s(size)}}},
        {"domain without owner or lock columns",
         [&] { return r->listDomains(colours, "", "", "", "", "", "", kNone, "", kNone, kNone, none, "", none); },
         {0, 1, 4, 7, 8, 9, 10, 11},
         {{s(colours), "Colours", "N", "<null>", "<null>", "<null>", "<null>", "<null>"}}},
        {"latest by id keeps the version numbered 1",
         [&] { return r->listDomainsWithVersions(kNone, "", true); },
         {0, 1, 4, 5, 6},
         {{s(countries), "Countries", "1", "one", "ann"}}},
        {"every version by name and number",
         [&] { return r->listDomainsWithVersions(countries, "Countries", false); },
         {3, 4},
         {{s(first), "1"}, {s(second), "2"}},
         true},
        {"latest by number keeps the version numbered 2",
         [&] { return r->getLatestDomainVersion(countries); },
         {0, 2, 12, 13},
         {{s(second), "2", "ann", "<null>"}}},
        {"every version without a domain",
         [&] { return r->getLatestDomainVersion(kNone); },
         {0},
         {{s(second)}, {s(first)}}},
        {"versions with owners, latest by number",
         [&] { return r->listDomainVersionsWithOwners(countries, true); },
         {0, 12},
         {{s(second), "ann"}}},
        {"versions with owners ascending, lock holder",
         [&] { return r->listDomainVersionsWithOwners(kNone, true); },
         {2, 8, 12, 13},
         {{"1", "Y", "ann", "bob"}, {"2", "<null>", "ann", "<null>"}},
         true},
        {"versions newest first, flags matched",
         [&] { return r->listDomainVersions(kNone, countries, kNone, "", "", "", "", kNone, "", kNone, none, none); },
         {0},
         {{s(first)}, {s(second)}},
         true},
        {"version by lock date",
         [&] {
             return r->listDomainVersions(kNone, kNone, kNone, "", "Y", "", "", kNone, "", kNone, VqbDate(45000.5),
                                          none);
         },
         {3},
         {{"one"}}},
        {"domain and version",
         [&] { return r->listDomainVersionInfo(countries, second); },
         {},
         {{s(countries), "Countries", "CT", s(second), "2"}}},
        {"domain details per language by code",
         [&] { return r->getDomainDetails(countries); },
         {0, 14, 15, 16},
         {{s(countries), "<null>", "EN", "EN"}, {s(countries), "<null>", "FR", "EN"}},
         true},
        {"enabled domains only, all their versions",
         [&] { return r->listEnabledDomainVersions(); },
         {},
         {{"Countries", "ISO", "CT", "G", "Y", "1", s(first)}, {"Countries", "ISO", "CT", "G", "Y", "2", s(second)}},
         true},
        {"languages of a version",
         [&] { return r->listDomainVersionLanguages(kNone, kNone, first); },
         {},
         {{"EN", "English", "EN", "1", s(english)}}},
        {"language and version", [&] { return r->listDomainVersionLanguages(7, kNone, first); }, {}, {}},
        {"domain languages used by values of a version",
         [&] { return r->listUsedDomainLanguageIds(countries, first); },
         {},
         {{s(english)}}},
        {"used languages of another version", [&] { return r->listUsedDomainLanguageIds(kNone, second); }, {}, {}},
        {"user attributes of a domain with the flag",
         [&] { return r->listDomainUserAttributes(countries, first); },
         {},
         {{s(colour), "colour", "Colour", s(domainColour), s(colour), "Y"}}},
        {"once per domain language",
         [&] { return r->listDomainUserAttributesWithLanguages(kNone, first); },
         {6},
         {{"French"}, {"English"}}},
        {"domain attributes used by item attributes",
         [&] { return r->listUsedDomainAttributeIds(countries, kNone); },
         {},
         {{s(domainColour)}}},
        {"hierarchy of a version",
         [&] { return r->listItemHierarchy(kNone, first); },
         {0, 1, 4, 6},
         {{s(germany), "<null>", "/DE", s(root)},
          {s(france), s(root), "/DE/FR", s(leafFr)},
          {s(belgium), s(root), "/DE/BE", s(leafBe)}}},
        {"one item in every version",
         [&] { return r->listItemHierarchy(germany, kNone); },
         {6},
         {{s(root)}, {s(rootTwo)}}},
        {"placements with attributes, newest number first",
         [&] { return r->listDomainItemsWithAttributes(countries, kNone); },
         {0, 1, 4, 5, 7, 9},
         {{s(rootTwo), "DE", "<null>", "<null>", "<null>", "2"},
          {s(leafBe), "BE", "<null>", "size", "<null>", "1"},
          {s(root), "DE", "black", "colour", "English", "1"},
          {s(leafFr), "FR", "<null>", "<null>", "<null>", "1"}},
         true},
        {"only attributes tied to the placement's version",
         [&] { return r->listVersionItemsWithAttributes(countries, 1); },
         {0, 4, 5},
         {{s(root), "black", "colour"}, {s(leafFr), "<null>", "<null>"}, {s(leafBe), "<null>", "<null>"}}},
        {"children with their counts",
         [&] { return r->listChildItems(first, kNone); },
         {0, 6},
         {{s(root), "2"}, {s(leafFr), "0"}, {s(leafBe), "0"}}},
        {"children of one placement", [&] { return r->listChildItems(first, root); }, {0}, {{s(leafFr)}, {s(leafBe)}}},
        {"attribute names of a placement",
         [&] { return r->listItemAttributeNames(root, first); },
         {},
         {{s(colour), "colour", "Colour", s(itemColour)}}},
        {"values with languages",
         [&] { return r->listItemAttributeValuesWithLanguages(root, kNone); },
         {},
         {{s(colour), "colour", "Colour", s(black), "black", "1", s(itemColour), "EN", "1"}}},
        {"publications whose domain exists",
         [&] { return r->listPublications(kNone, "", "", kNone, kNone, "", ""); },
         {0, 1, 2, 3, 4, 5, 6, 7},
         {{s(publication), "pub", "XML", s(countries), "1", "dsn", "sch", "Countries"}}},
        {"publication notes newest first",
         [&] { return r->listPublicationNotes(kNone); },
         {0, 5, 9},
         {{s(newer), "newer", "bob"}, {s(older), "older", "ann"}},
         true},
        {"notes of another table by type",
         [&] { return r->listNotes(kNone, countries, "C", kNone, "RDDOIT", "", kNone, kNone, none); },
         {5},
         {{"item"}}},
    };
    for (const Read& read : reads) {
        SCOPED_TRACE(read.what);
        Rows got = pick(read.run(), read.columns);
        if (read.ordered)
            EXPECT_EQ(got, read.expected);
        else
            EXPECT_EQ(sorted(got), sorted(read.expected));
    }
    // Every seeded language without a filter; column counts: whole rows in the tables' order,
    // joins as their select lists.
    EXPECT_EQ(take(r->listLanguages(kNone, "", "")).size(), 18u);
    EXPECT_EQ(take(r->listAccounts(ann, "", "", "", "", "", ""))[0].size(), 10u);
    EXPECT_EQ(take(r->getDomainDetails(countries))[0].size(), 17u);
    EXPECT_EQ(take(r->listDomainVersionsWithOwners(countries, false))[0].size(), 14u);
    EXPECT_EQ(take(r->listPublicationNotes(countries))[0].size(), 10u);
}

// A placement's attributes of its own version are the rows of every tie, as the join written over
// a derived table of all ties gives them: a tie stored twice comes twice, with each value of the
// version; an attribute tied only to another version, or to none, leaves a placement one row of
// nulls.
TEST_P(RefDataOperations, VersionItemsWithAttributesAreTheRowsOfEveryTie) {
    RefDataRepositoryDataAccess* r = rda_.get();
    const int one = static_cast<int>(first), two = static_cast<int>(second);
    uint32_t tiedTwice = 0, elsewhere = 0, both = 0, white = 0, blanc = 0;
    ASSERT_TRUE(r->addItemAttribute(static_cast<int>(leafFr), static_cast<int>(colour), &tiedTwice));
    ASSERT_TRUE(r->addItemAttributeVersion(one, static_cast<int>(tiedTwice)));
    ASSERT_TRUE(r->addItemAttributeVersion(one, static_cast<int>(tiedTwice)));
    ASSERT_TRUE(r->addItemAttributeValue("white", 1, &white));
    ASSERT_TRUE(r->addItemAttributeValue("blanc", 7, &blanc));
    for (auto [version, value] : {std::pair{one, white}, std::pair{one, blanc}, std::pair{two, white}})
        ASSERT_TRUE(r->addItemAttributeValueVersion(version, static_cast<int>(value), static_cast<int>(tiedTwice)));
    ASSERT_TRUE(r->addItemAttribute(static_cast<int>(leafFr), static_cast<int>(size), &elsewhere));
    ASSERT_TRUE(r->addItemAttributeVersion(two, static_cast<int>(elsewhere)));
    ASSERT_TRUE(r->addItemAttribute(static_cast<int>(rootTwo), static_cast<int>(colour), &both));
    ASSERT_TRUE(r->addItemAttributeVersion(two, static_cast<int>(both)));
    ASSERT_TRUE(r->addItemAttributeVersion(one, static_cast<int>(both)));

    const std::string written =
        "SELECT iv.ID, i.ITEMKEY, i.ITEMVAL, iv.PARNTID, av.VALUE, a.ATTRNAME, a.DESCRPTN, l.LANGNAME, d.DOMNAME, "
        "dv.VERSION FROM {RDITVR} iv INNER JOIN {RDDOVR} dv ON iv.DOMVERID=dv.ID INNER JOIN {RDDOMS} d ON "
        "d.ID=dv.DOMAINID INNER JOIN {RDDOIT} i ON iv.ITEMID=i.ID LEFT JOIN ( SELECT a.ID AS ITEATTID,a.ATTRIBID, "
        "a.ITVERID ,b.DOMVERID  FROM {RDDOIA} a INNER JOIN {RDIAVR} b ON a.ID = b.ITEATTID) iav ON iav.DOMVERID = "
        "iv.DOMVERID and iv.ID = iav.ITVERID LEFT JOIN {RDATRS} a ON iav.ATTRIBID=a.ID AND iav.DOMVERID=iv.DOMVERID "
        "LEFT JOIN {RDITVV} iavv ON iav.ITEATTID=iavv.ITEATTID AND  iavv.DOMVERID=iv.DOMVERID LEFT JOIN {RDITAV} av "
        "ON av.ID=iavv.ITATVLID LEFT JOIN {RDLANS} l ON av.LANGID=l.ID WHERE d.ID=" +
        s(countries);
    const struct {
        uint32_t version;
        size_t rows;
    } cases[] = {{1, 6}, {2, 1}, {kNone, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        const Rows got = sorted(take(r->listVersionItemsWithAttributes(countries, c.version)));
        EXPECT_EQ(got.size(), c.rows);
        EXPECT_EQ(got, sorted(raw(written + (c.version == kNone ? "" : " AND dv.VERSION=" + s(c.version)))));
    }
    EXPECT_EQ(take(r->listVersionItemsWithAttributes(colours, kNone)), Rows{});
}

TEST_P(RefDataOperations, IdsAndMarksOfNoValue) {
    RefDataRepositoryDataAccess* r = rda_.get();
    uint32_t id = 7;
    // An item of nothing but its id; an operation level without a position; 0 is a position.
    ASSERT_TRUE(r->addItem("", "", "", "", "", -1, &id));
    EXPECT_EQ(raw("SELECT ITEMKEY, ITEMVAL, ENABLED, ACCTID FROM {RDDOIT} WHERE ID=" + s(id)),
              (Rows{{"<null>", "<null>", "<null>", "<null>"}}));
    ASSERT_TRUE(r->addOperation("X", "", kNone, &id));
    ASSERT_TRUE(r->addOperation("Z", "", 0, nullptr));
    EXPECT_EQ(raw("SELECT PERMISON, POSITION FROM {RDOPRS} WHERE ID>5 ORDER BY ID"),
              (Rows{{"X", "<null>"}, {"Z", "0"}}));
    // A link row given no value at all is still a row.
    ASSERT_TRUE(r->addDomainAccess(-1, -1, -1));
    ASSERT_TRUE(r->addDomainAccess(0, static_cast<int>(ann), -1));
    EXPECT_EQ(take(r->listDomainAccess(0, kNone, kNone)), (Rows{{"0", s(ann), "<null>"}}));
    EXPECT_EQ(take(r->listDomainAccess(kNone, kNone, kNone)).size(), 2u);
    // A note always carries its stamp.
    ASSERT_TRUE(r->addNote(-1, "", -1, "", "", -1, -1, &id));
    EXPECT_EQ(raw("SELECT COUNT(*) FROM {RDNOTS} WHERE ID=" + s(id) + " AND CRTDATE > 40000 AND TEXT IS NULL"),
              (Rows{{"1"}}));
    // The stamp found by its exact value, not by another.
    ReposHeld<ReposDataAccessCursor> note(r->listNotes(id, kNone, "", kNone, "", "", kNone, kNone, VqbDate()));
    ASSERT_TRUE(note && note->next() == 1);
    const double stamp = note->getDouble(8);
    note.reset();
    EXPECT_EQ(take(r->listNotes(kNone, kNone, "", kNone, "", "", kNone, kNone, VqbDate(stamp))),
              (Rows{take(r->listNotes(id, kNone, "", kNone, "", "", kNone, kNone, VqbDate()))[0]}));
    EXPECT_EQ(take(r->listNotes(kNone, kNone, "", kNone, "", "", kNone, kNone, VqbDate(stamp + 1.0 / 86400))), Rows{});
    // An association keyed by its own column.
    ASSERT_TRUE(r->addDomainAssociation(static_cast<int>(countries), "", &id));
    EXPECT_EQ(take(r->listDomainAssociations(kNone, id, "")), (Rows{{s(id), s(countries), "<null>"}}));
}

TEST_P(RefDataOperations, DeletesRemoveExactlyTheFilteredRows) {
    RefDataRepositoryDataAccess* r = rda_.get();
    const VqbDate none;
    ASSERT_TRUE(r->addRole("reader", "", "R", nullptr));
    ASSERT_TRUE(r->addRole("writer", "", "W", nullptr));
    ASSERT_TRUE(r->addRole("auditor", "", "R", nullptr));
    ASSERT_TRUE(exec("INSERT INTO " + t("RDROLS") + " (ID, ROLENAME, ROLETYPE) VALUES (0, 'zero', 'Z')"));
    ASSERT_TRUE(exec("INSERT INTO " + t("RDIMSG") +
                     " (ID, PROFILE, DOMVERID, ITEMLVL, LINEAGE) VALUES (1, 4, 9, 0, "
                     "'/a'), (2, 4, 8, 0, '/b'), (3, 5, 9, 1, '/c')"));
    ASSERT_TRUE(exec("INSERT INTO " + t("RDIMCL") + " (SOURCCOL, POSITION, PROFILE) VALUES (0, 1, 4), (1, 2, 4)"));
    ASSERT_TRUE(exec("INSERT INTO " + t("RDTMPI") + " (ITEMID, DOMVERID) VALUES (1, 9), (2, 9)"));
    const Removal removals[] = {
        {"an account by id then name",
         [&] { return r->deleteAccounts(ann, "ann", "", "", "", "", ""); },
         "SELECT ACTNAME FROM {RDACTS}",
         {{"bob"}}},
        {"roles of one type",
         [&] { return r->deleteRoles(kNone, "", "", "R"); },
         "SELECT ROLENAME FROM {RDROLS} ORDER BY ROLENAME",
         {{"writer"}, {"zero"}}},
        {"id 0 is an id", [&] { return r->deleteRoles(0, "", "", ""); }, "SELECT ROLENAME FROM {RDROLS}", {{"writer"}}},
        {"a domain leaves its versions",
         [&] { return r->deleteDomains(kNone, "", "", "", "", "", "", kNone, "", kNone, kNone, none, "", none); },
         "SELECT (SELECT COUNT(*) FROM {RDDOMS}), (SELECT COUNT(*) FROM {RDDOVR})",
         {{"0", "2"}}},
        {"a value leaves its links, which the join then shows empty",
         [&] { return r->deleteItemAttributeValues(black, "", kNone); },
         "SELECT COUNT(*) FROM {RDITVV}",
         {{"1"}}},
        {"item placements of a version by parent",
         [&] { return r->deleteItemVersions(kNone, first, kNone, none, kNone, "", root); },
         "SELECT ID FROM {RDITVR} ORDER BY ID",
         {{s(root)}, {s(rootTwo)}}},
        {"staged rows by version and profile",
         [&] { return r->deleteImportItemVersions(9, kNone, none, kNone, "", kNone, 4); },
         "SELECT ID FROM {RDIMSG} ORDER BY ID",
         {{"2"}, {"3"}}},
        {"staged rows by lineage",
         [&] {
             return r->deleteImportItems(kNone, kNone, "", "", "", kNone, kNone, kNone, "", "", "", "/c", kNone, kNone,
                                         none);
         },
         "SELECT ID FROM {RDIMSG}",
         {{"2"}}},
        {"staged attribute values share the staged rows",
         [&] {
             return r->deleteImportAttributeValues(kNone, kNone, kNone, kNone, kNone, "", 4, "", "", "", "", kNone,
                                                   kNone, kNone, kNone, kNone, none);
         },
         "SELECT COUNT(*) FROM {RDIMSG}",
         {{"0"}}},
        {"import columns: 0 is a filter",
         [&] { return r->deleteImportColumns(0, kNone, kNone, kNone, kNone); },
         "SELECT SOURCCOL FROM {RDIMCL}",
         {{"1"}}},
        {"every temporary item",
         [&] { return r->deleteTempItems(kNone, kNone); },
         "SELECT COUNT(*) FROM {RDTMPI}",
         {{"0"}}},
        {"notes of a domain, publication notes included",
         [&] { return r->deleteNotes(kNone, countries, "", kNone, "", "", kNone, kNone); },
         "SELECT COUNT(*) FROM {RDNOTS}",
         {{"0"}}},
    };
    for (const Removal& removal : removals) {
        SCOPED_TRACE(removal.what);
        EXPECT_TRUE(removal.run());
        EXPECT_EQ(raw(removal.remaining), removal.expected);
    }
    // A value deleted under its link: the attribute stays, its value columns empty.
    EXPECT_EQ(pick(r->listItemAttributeValuesWithLanguages(root, first), {1, 4, 7}),
              (Rows{{"colour", "<null>", "<null>"}}));
}

REPOS_EVERY_PLACE(RefDataOperations);
