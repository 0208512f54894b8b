// Identifiers pasted into SQL: an embedded quote can never end the quoted name early.
#include <gtest/gtest.h>

#include <string>

#include "vqbutil.h"

namespace {

TEST(Identifiers, QuotedAsTheDbmsQuotesThemAndPlainOnlyWhenPlain) {
    struct Case {
        const char* name;
        const char* quote;
        const char* quoted;
        bool plain;
    };
    const Case cases[] = {
        {"FRQDST7", "\"", "\"FRQDST7\"", true},
        {"a\"b", "\"", "\"a\"\"b\"", false},
        {"\"; DROP TABLE INFO; --", "\"", "\"\"\"; DROP TABLE INFO; --\"", false},
        {"x`y", "`", "`x``y`", false},
        {"x\"y", "`", "`x\"y`", false},
        {"_under_9", "", "_under_9", true},  // a DBMS without quoting gets the name as it is
        {"9lead", nullptr, "9lead", false},
        {"", "\"", "\"\"", false},
        {"na\xC3\xAFve", "\"", "\"na\xC3\xAFve\"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vqbQuoteIdentifier(std::string(c.name), c.quote), c.quoted) << c.name;
        EXPECT_EQ(vqbIsPlainIdentifier(c.name), c.plain) << c.name;
    }
}

}  // namespace
