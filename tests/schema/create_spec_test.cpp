// Table-creation command specs: file reading, lookup by pattern, expansion of the commands.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tablecreateconfig.h"
#include "vqbmessage.h"
#include "xml_test_util.h"

using namespace VqTableCreateNS;

namespace {

struct DocRelease {
    void operator()(VqCreateSpecDoc* d) const { d->release(); }
};
using DocPtr = std::unique_ptr<VqCreateSpecDoc, DocRelease>;
using Cmds = std::vector<std::string>;

// The commands of a lookup (index commands when index is set); "<null>" alone when there is no cursor.
Cmds lookup(VqCreateSpecDoc* doc, const char* db, const char* schema, const char* table, const char* index = nullptr,
            const char* fValue = "", const char* cValue = "") {
    VqCommandCursor* cursor =
        index ? doc->getIndexCommands(VqbString(index), VqbString(table), VqbString(schema), VqbString(""),
                                      VqbString(db), VqbString(fValue))
              : doc->getTableCommands(VqbString(table), VqbString(schema), VqbString(cValue), VqbString(db),
                                      VqbString(fValue));
    if (cursor == nullptr) return {"<null>"};
    Cmds out;
    EXPECT_EQ(cursor->getCommand().str(), "");  // nothing before the first next
    while (cursor->next()) out.push_back(cursor->getCommand().str());
    EXPECT_FALSE(cursor->next());  // stays at the end
    cursor->release();
    return out;
}

const char kHead[] = "<velqorindocument class='VqCreateSpec' version='1.0'>";

}  // namespace

TEST(XmlCreateSpec, FirstMatchAtEachLevelWinsAndCommandsExpandInNumberOrder) {
    DocPtr doc(getTableCreationSpec());
    ASSERT_TRUE(doc->loadFile(VqbString(xmlDataFile("create_commands.xml")))) << doc->getErrorMessage().str();
    const struct {
        const char *db, *schema, *table, *index, *f, *c;
        Cmds expected;
    } cases[] = {
        // 2, 5, 9; the empty template 7 is dropped and a repeated number keeps its first template.
        {"POSTGRESQL", "dbo", "JOB", nullptr, "X INT", "note",
         {"CREATE TABLE dbo.JOB (X INT)", "GRANT SELECT ON dbo.JOB TO reader", "COMMENT ON TABLE dbo.JOB IS 'note'"}},
        // Names match whatever their case; argument text is never expanded again.
        {"postgresql", "Dbo", "jab", nullptr, "a %t %c b", "",
         {"CREATE TABLE Dbo.jab (a %t %c b)", "GRANT SELECT ON Dbo.jab TO reader", "COMMENT ON TABLE Dbo.jab IS ''"}},
        {"POSTGRESQL", "SALES", "JOB", nullptr, "c INT", "", {"CREATE TABLE JOB (c INT)"}},
        {"POSTGRESQL", "dbo", "FLD12", nullptr, "f", "", {"CREATE TABLE dbo.FLD12 (f) WITH (fillfactor = 70)"}},
        {"SQLITE", "", "JOB", nullptr, "", "", {}},
        // ORA* comes first: its schema spec does not match, and ORACLE is never reached.
        {"ORACLE", "dbo", "JOB", nullptr, "", "", {}},
        {"ORACLE", "nomatch", "JOB", nullptr, "", "", {"CREATE TABLE never"}},
        // DBO matches, none of its table specs does: the catch-all schema spec is not tried.
        {"POSTGRESQL", "dbo", "AXB", nullptr, "", "", {}},
        // Children after the first are values whatever their name; one without a number is 0.
        {"POSTGRESQL", "dbo", "JOB", "JOBIX1", "\"JOB_ID\"", "",
         {"CLUSTER dbo.JOB USING JOBIX1", "CREATE INDEX JOBIX1 ON dbo.JOB (\"JOB_ID\")", "ANALYZE dbo.JOB"}},
        // A first value without a number ends the index spec.
        {"POSTGRESQL", "dbo", "FLD3", "i%t", "F", "", {"CREATE INDEX i%t ON FLD3 (F)"}},
        {"POSTGRESQL", "SALES", "JOB", "ix", "c", "", {}},  // no index spec
    };
    for (const auto& c : cases)
        EXPECT_EQ(lookup(doc.get(), c.db, c.schema, c.table, c.index, c.f, c.c), c.expected) << c.db << "/" << c.table;
}

TEST(XmlCreateSpec, NameArgumentsAreChecked) {
    DocPtr doc(getTableCreationSpec());
    ASSERT_TRUE(doc->loadFile(VqbString(xmlDataFile("create_commands.xml"))));
    // Index, table, schema, dbtype, comment: the one with a star is named in the error.
    const std::vector<const char*> refused[] = {{nullptr, "J*B", "dbo", "POSTGRESQL", "", "J*B"},
                                                {nullptr, "**", "dbo", "POSTGRESQL", "", "**"},
                                                {nullptr, "JOB", "d*o", "POSTGRESQL", "", "d*o"},
                                                {nullptr, "JOB", "dbo", "POST*GRES", "", "POST*GRES"},
                                                {nullptr, "JOB", "dbo", "POSTGRESQL", "a*b", "a*b"},
                                                {"ix*1", "JOB", "dbo", "POSTGRESQL", "", "ix*1"}};
    for (const auto& c : refused) {
        EXPECT_EQ(lookup(doc.get(), c[3], c[2], c[1], c[0], "f", c[4]), Cmds{"<null>"}) << c[5];
        EXPECT_EQ(doc->getErrorMessage().str(), reposMessage(1685, c[5]).str());
    }
    // The error is cleared by the next lookup; fValue may hold anything.
    EXPECT_EQ(lookup(doc.get(), "POSTGRESQL", "dbo", "JOB", nullptr, "a*b*c").size(), 3u);
    EXPECT_TRUE(doc->getErrorMessage().isEmpty());
    for (const char* ok : {"*", "*JOB", "JOB*", "J\\*B", "", "\\**"})
        EXPECT_TRUE(vqIsValidNameArgument(VqbString(ok))) << ok;
}

TEST(XmlCreateSpec, PatternMatching) {
    const struct {
        const char *name, *pattern;
        bool match;
    } cases[] = {
        {"", "*", true},         {"", "", true},          {"JOB", "J?B", true},    {"JB", "J?B", false},
        {"JOB", "job", false},   {"AXXBYYC", "A*B*C", true}, {"AXXBYY", "A*B*C", false}, {"?", "\\?", true},
        {"X", "\\?", false},     {"A*B", "A\\*B", true},  {"AXB", "A\\*B", false}, {"\xC3\x89T\xC3\x89", "?T?", true},
        {"ABC", "*C", true},     {"ABC", "A*", true},     {"ABC", "*B", false},    {"AB", "A**B", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vqMatchNamePattern(VqbString(c.name), VqbString(c.pattern)), c.match) << c.name << " ~ " << c.pattern;
    // Many stars against a long name that nearly matches stay cheap.
    EXPECT_FALSE(vqMatchNamePattern(VqbString(std::string(5000, 'A')), VqbString("*A*A*A*A*A*A*A*B")));
}

TEST(XmlCreateSpec, EveryRefusalHasItsMessage) {
    const std::string head = kHead, end = "</velqorindocument>";
    auto tables = [&](const std::string& body) {
        return head + "<dbtype name='X'><schemaspec name='*'>" + body + "</schemaspec></dbtype>" + end;
    };
    const struct {
        const char* what;
        std::string text;
        VqbString message;
    } cases[] = {
        {"wrong root", "<document class='VqCreateSpec' version='1.0'/>", reposMessage(288)},
        {"wrong class", "<velqorindocument class='ReposTableCreateSpec' version='1.0'/>",
         reposMessage(1684, "VqCreateSpec")},
        {"wrong version", "<velqorindocument class='VqCreateSpec' version=' 1.0'/>", reposMessage(290)},
        {"root child", head + "<db name='x'/>" + end, reposMessage(1396, "db")},
        {"dbtype child", head + "<dbtype name='x'><schema/></dbtype>" + end, reposMessage(1396, "schema")},
        {"schemaspec child", tables("<table name='T'/>"), reposMessage(1396, "table")},
        {"tablespec child", tables("<tablespec name='T'><values/></tablespec>"), reposMessage(1396, "values")},
        {"value after unnumbered", tables("<tablespec name='T'><value>a</value><value idx='2'>b</value></tablespec>"),
         reposMessage(1396, "value")},
        {"indexspec first child", tables("<tablespec name='T'><value/><indexspec><x/></indexspec></tablespec>"),
         reposMessage(1396, "x")},
        {"empty tablespec", tables("<tablespec name='T'/>"), reposMessage(1395, "value")},
        {"empty indexspec", tables("<tablespec name='T'><value/><indexspec/></tablespec>"),
         reposMessage(1395, "value")},
        {"dbtype name", head + "<dbtype/>" + end, reposMessage(1686, "dbtype", "name")},
        {"schemaspec name", head + "<dbtype name='x'><schemaspec/></dbtype>" + end,
         reposMessage(1686, "schemaspec", "name")},
        {"tablespec name", tables("<tablespec><value/></tablespec>"), reposMessage(1686, "tablespec", "name")},
    };
    TempDir dir;
    DocPtr doc(getTableCreationSpec());
    for (const auto& c : cases) {
        writeFile(dir.file("c.xml"), c.text);
        EXPECT_FALSE(doc->loadFile(VqbString(dir.file("c.xml")))) << c.what;
        EXPECT_EQ(doc->getErrorMessage().str(), c.message.str()) << c.what;
    }
    EXPECT_FALSE(doc->loadFile(VqbString(dir.file("absent.xml"))));
    EXPECT_NE(doc->getErrorMessage().str().find("absent.xml"), std::string::npos);
    writeFile(dir.file("bad.xml"), head + "<dbtype name='x'>");
    EXPECT_FALSE(doc->loadFile(VqbString(dir.file("bad.xml"))));
    EXPECT_NE(doc->getErrorMessage().str().find("not well formed"), std::string::npos);
}

TEST(XmlCreateSpec, LoadingReplacesAndKeepsWhatWasReadBeforeAFailure) {
    DocPtr doc(getTableCreationSpec());
    EXPECT_EQ(lookup(doc.get(), "POSTGRESQL", "dbo", "JOB"), Cmds{});  // nothing loaded yet
    TempDir dir;
    for (const char* db : {"A", "B"})
        writeFile(dir.file(std::string(db) + ".xml"),
                  std::string(kHead) + "<dbtype name='" + db + "'><schemaspec name='*'><tablespec name='*'><value>" +
                      db + " %t</value></tablespec></schemaspec></dbtype>" + (*db == 'B' ? "<dbtype/>" : "") +
                      "</velqorindocument>");
    ASSERT_TRUE(doc->loadFile(VqbString(dir.file("A.xml"))));
    EXPECT_EQ(lookup(doc.get(), "A", "s", "T"), Cmds{"A T"});
    EXPECT_FALSE(doc->loadFile(VqbString(dir.file("B.xml"))));
    EXPECT_EQ(lookup(doc.get(), "A", "s", "T"), Cmds{});  // the earlier file is gone
    EXPECT_EQ(lookup(doc.get(), "B", "s", "T"), Cmds{"B T"});  // what came before the failure stays
}
