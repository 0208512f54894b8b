#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "vqreposuri.h"

namespace {

using UriPtr = std::unique_ptr<VqReposURI>;

std::string text(const VqReposURI& uri) {
    VqbString out;
    uri.toString(out);
    return out.str();
}

UriPtr make(const std::string& base, const std::string& path, const std::string& type) {
    return UriPtr(getReposURIFromComponents(VqbString(base), VqbString(path), VqbString(type)));
}

UriPtr parse(const std::string& t) { return UriPtr(getReposURIFromString(VqbString(t))); }

}  // namespace

TEST(ReposResUri, HostileComponentsRoundTripStayInsideTheirPartAndNeverShareATextSpelling) {
    EXPECT_EQ(text(*make("", "Sales/Q1/Rule1", "Rule")), "repos:///Sales/Q1/Rule1?type=Rule");
    // The last rows share characters across the parts, which a careless join confuses.
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"", "Folder with spaces/Rule \"quoted\" 'single'", "Rule"},
        {"", "100%/%%HOME%%/%2F literal/a+b=c&d", "ProfileJob"},
        {"", "Gr\xC3\xB6\xC3\x9F" "e/\xE6\x97\xA5\xE6\x9C\xAC/\xF0\x9F\x98\x80", "Task"},
        {"", "/leading//double/trailing/", "DataExploration"},
        {"", "what?type=Task#frag/back\\slash", "Rule"},
        {"host:8080/x@y", "a", "Type with space?&="},
        {"", "\xFF\xFE not utf-8", "Rule"},
        {"x/y", "z", "T"}, {"x", "y/z", "T"}, {"", "a?type=b", "T"}, {"", "a", "b"}, {"", "a/b", "T"},
        {"", "a%2Fb", "T"},
    };
    std::set<std::string> texts;
    for (const auto& [base, path, type] : cases) {
        SCOPED_TRACE(path);
        UriPtr uri = make(base, path, type);
        ASSERT_TRUE(uri);
        std::string t = text(*uri);
        EXPECT_TRUE(texts.insert(t).second);
        // Only the separators of the form itself appear raw.
        size_t q = t.find("?type=");
        ASSERT_NE(q, std::string::npos);
        EXPECT_EQ(t.substr(0, q).find_first_of(" \"'#&\\+=?"), std::string::npos);
        EXPECT_EQ(t.substr(q + 6).find_first_of(" \"'#&\\+=?/"), std::string::npos);
        for (unsigned char c : t) EXPECT_TRUE(c > 0x20 && c < 0x7F) << t;
        UriPtr back = parse(t);
        ASSERT_TRUE(back) << t;
        EXPECT_EQ(back->getBase().str(), base);
        EXPECT_EQ(back->getObjectPath().str(), path);
        EXPECT_EQ(back->getTypeName().str(), type);
        EXPECT_EQ(text(*back), t);
    }
    // Parsing takes any case in the scheme and the escapes.
    UriPtr uri = parse("REPOS://srv/%c3%a4/x?type=Rule");
    ASSERT_TRUE(uri);
    EXPECT_EQ(uri->getObjectPath().str(), "\xC3\xA4/x");
    EXPECT_EQ(text(*uri), "repos://srv/%C3%A4/x?type=Rule");
}

TEST(ReposResUri, BadComponentsAndMalformedTextsGiveNoUri) {
    EXPECT_FALSE(make("", "", "Rule"));
    EXPECT_FALSE(make("", "a", ""));
    EXPECT_FALSE(UriPtr(getReposURIFromComponents(VqbString(), VqbString(), VqbString("Rule"))));
    EXPECT_FALSE(make("", std::string("a\0b", 3), "Rule"));
    EXPECT_FALSE(make(std::string("\0", 1), "a", "Rule"));
    EXPECT_TRUE(UriPtr(getReposURIFromComponents(VqbString(), VqbString("a"), VqbString("Rule"))));
    for (const char* bad : {
             "", "repos:", "repos://", "repos://base", "http:///a?type=R", "repos:/a?type=R", "repos:///a",
             "repos:///?type=R", "repos:///a?type=", "repos:///a?kind=R", "repos:///a?type=R&x=1",
             "repos:///a b?type=R", "repos:///a\"b?type=R", "repos:///a?type=R#frag", "repos:///a%2?type=R",
             "repos:///a%?type=R", "repos:///a%G1?type=R", "repos:///a%00b?type=R",
             "repos:///a?type=R?type=S", "repos:///a?type=R%00",
         })
        EXPECT_FALSE(parse(bad)) << bad;
}
