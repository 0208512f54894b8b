// The placements of a domain version with their attributes: each attribute paired with every tie
// of it to the placement's version (a doubled tie gives its rows twice), a placement without such
// an attribute once with nulls; the same rows as the pairing written as a derived table, read from
// outside.
#include "refdata_fixture.h"

namespace {

std::string s(uint32_t id) { return std::to_string(id); }

class RefDataVersionItems : public RefDataTest {};

TEST_P(RefDataVersionItems, AttributesComeOnceForEachTieToTheVersion) {
    RefDataRepositoryDataAccess* r = rda_.get();
    const VqbDate none;
    uint32_t colour = 0, size = 0, domain = 0, one = 0, two = 0, i1 = 0, i2 = 0, i3 = 0;
    uint32_t p1 = 0, p2 = 0, p3 = 0, p4 = 0, tiedTwice = 0, otherVersion = 0, both = 0, later = 0;
    uint32_t black = 0, white = 0, grey = 0;
    ASSERT_TRUE(r->addAttribute("colour", "Colour", 1, "SINGLELINETEXT", 1, 1, 0, "", &colour));
    ASSERT_TRUE(r->addAttribute("size", "Size", 1, "SINGLELINETEXT", 1, 1, 0, "", &size));
    ASSERT_TRUE(r->addDomain("Countries", "", "", "Y", "", "", -1, "", -1, -1, none, "", &domain));
    const int d = static_cast<int>(domain);
    ASSERT_TRUE(r->addDomainVersion(d, 1, "one", "Y", "", "", -1, "", -1, none, &one));
    ASSERT_TRUE(r->addDomainVersion(d, 2, "two", "Y", "", "", -1, "", -1, none, &two));
    ASSERT_TRUE(r->addItem("DE", "Germany", "Y", "", "", -1, &i1));
    ASSERT_TRUE(r->addItem("FR", "France", "Y", "", "", -1, &i2));
    ASSERT_TRUE(r->addItem("BE", "Belgium", "Y", "", "", -1, &i3));
    const int v1 = static_cast<int>(one), v2 = static_cast<int>(two);
    ASSERT_TRUE(r->addItemVersion(v1, static_cast<int>(i1), 0, "/DE", -1, &p1));
    ASSERT_TRUE(r->addItemVersion(v1, static_cast<int>(i2), 0, "/FR", -1, &p2));
    ASSERT_TRUE(r->addItemVersion(v1, static_cast<int>(i3), 0, "/BE", -1, &p3));
    ASSERT_TRUE(r->addItemVersion(v2, static_cast<int>(i1), 0, "/DE", -1, &p4));
    ASSERT_TRUE(r->addItemAttribute(static_cast<int>(p1), static_cast<int>(colour), &tiedTwice));
    ASSERT_TRUE(r->addItemAttribute(static_cast<int>(p1), static_cast<int>(size), &otherVersion));
    ASSERT_TRUE(r->addItemAttribute(static_cast<int>(p3), static_cast<int>(colour), &both));
    ASSERT_TRUE(r->addItemAttribute(static_cast<int>(p4), static_cast<int>(size), &later));
    for (int v : {v1, v1}) ASSERT_TRUE(r->addItemAttributeVersion(v, static_cast<int>(tiedTwice)));
    ASSERT_TRUE(r->addItemAttributeVersion(v2, static_cast<int>(otherVersion)));
    for (int v : {v1, v2}) ASSERT_TRUE(r->addItemAttributeVersion(v, static_cast<int>(both)));
    ASSERT_TRUE(r->addItemAttributeVersion(v2, static_cast<int>(later)));
    ASSERT_TRUE(r->addItemAttributeValue("black", 1, &black));
    ASSERT_TRUE(r->addItemAttributeValue("white", 1, &white));
    ASSERT_TRUE(r->addItemAttributeValue("grey", 1, &grey));
    ASSERT_TRUE(r->addItemAttributeValueVersion(v1, static_cast<int>(black), static_cast<int>(tiedTwice)));
    ASSERT_TRUE(r->addItemAttributeValueVersion(v1, static_cast<int>(white), static_cast<int>(both)));
    ASSERT_TRUE(r->addItemAttributeValueVersion(v2, static_cast<int>(grey), static_cast<int>(both)));

    for (int number : {1, 2, 3}) {
        // The pairing as a derived table, with the filters written in.
        const Rows expected = sorted(raw(
            "SELECT iv.ID, i.ITEMKEY, i.ITEMVAL, iv.PARNTID, av.VALUE, a.ATTRNAME, a.DESCRPTN, l.LANGNAME, d.DOMNAME, "
            "dv.VERSION FROM {RDITVR} iv INNER JOIN {RDDOVR} dv ON iv.DOMVERID=dv.ID INNER JOIN {RDDOMS} d ON "
            "d.ID=dv.DOMAINID INNER JOIN {RDDOIT} i ON iv.ITEMID=i.ID LEFT JOIN ( SELECT a.ID AS ITEATTID,a.ATTRIBID, "
            "a.ITVERID ,b.DOMVERID  FROM {RDDOIA} a INNER JOIN {RDIAVR} b ON a.ID = b.ITEATTID) iav ON iav.DOMVERID = "
            "iv.DOMVERID and iv.ID = iav.ITVERID LEFT JOIN {RDATRS} a ON iav.ATTRIBID=a.ID AND "
            "iav.DOMVERID=iv.DOMVERID LEFT JOIN {RDITVV} iavv ON iav.ITEATTID=iavv.ITEATTID AND "
            "iavv.DOMVERID=iv.DOMVERID LEFT JOIN {RDITAV} av ON av.ID=iavv.ITATVLID LEFT JOIN {RDLANS} l ON "
            "av.LANGID=l.ID WHERE d.ID=" + s(domain) + " AND dv.VERSION=" + std::to_string(number)));
        EXPECT_EQ(sorted(take(r->listVersionItemsWithAttributes(domain, number))), expected) << "version " << number;
        if (number == 1) {
            // p1 twice with its colour, p2 and p3 once each: the size tied to version 2 stays out.
            ASSERT_EQ(expected.size(), 4u);
            EXPECT_EQ(column(expected, 0), (std::set<std::string>{s(p1), s(p2), s(p3)}));
        }
        if (number == 3) {
            EXPECT_TRUE(expected.empty());
        }
    }
}

REPOS_EVERY_PLACE(RefDataVersionItems);

}  // namespace
