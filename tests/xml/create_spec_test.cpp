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

DocPtr loadedDoc(const std::string& path) {
    DocPtr doc(getTableCreationSpec());
    EXPECT_TRUE(doc->loadFile(VqbString(path))) << doc->getErrorMessage().str();
    return doc;
}

// The commands of a cursor, which is released; "<null>" alone when there is no cursor.
std::vector<std::string> drain(VqCommandCursor* cursor) {
    if (cursor == nullptr) return {"<null>"};
    std::vector<std::string> out;
    EXPECT_EQ(cursor->getCommand().str(), "");  // nothing before the first next
    while (cursor->next()) out.push_back(cursor->getCommand().str());
    EXPECT_FALSE(cursor->next());  // stays at the end
    EXPECT_EQ(cursor->getCommand().str(), "");
    cursor->release();
    return out;
}

using Cmds = std::vector<std::string>;

Cmds tableCmds(VqCreateSpecDoc* doc, const char* db, const char* schema, const char* table, const char* fValue = "",
               const char* cValue = "") {
    return drain(doc->getTableCommands(VqbString(table), VqbString(schema), VqbString(cValue), VqbString(db),
                                       VqbString(fValue)));
}

Cmds indexCmds(VqCreateSpecDoc* doc, const char* db, const char* schema, const char* table, const char* index,
               const char* fValue) {
    return drain(doc->getIndexCommands(VqbString(index), VqbString(table), VqbString(schema), VqbString(""),
                                       VqbString(db), VqbString(fValue)));
}

const char kHead[] = "<velqorindocument class='VqCreateSpec' version='1.0'>";

}  // namespace

TEST(XmlCreateSpec, CommandsComeInNumberOrderExpanded) {
    DocPtr doc = loadedDoc(xmlDataFile("create_commands.xml"));
    // 2, 5, 9; the empty template 7 is dropped and a repeated number keeps its first template.
    EXPECT_EQ(tableCmds(doc.get(), "POSTGRESQL", "dbo", "JOB", "X INT", "note"),
              (Cmds{"CREATE TABLE dbo.JOB (X INT)", "GRANT SELECT ON dbo.JOB TO reader",
                    "COMMENT ON TABLE dbo.JOB IS 'note'"}));
    // Names match whatever their case; the texts go in as passed.
    EXPECT_EQ(tableCmds(doc.get(), "postgresql", "Dbo", "jab", "y")[0], "CREATE TABLE Dbo.jab (y)");
    // Text from an argument is never expanded again.
    EXPECT_EQ(tableCmds(doc.get(), "POSTGRESQL", "dbo", "JOB", "a %t %c b")[0], "CREATE TABLE dbo.JOB (a %t %c b)");
    // Another schema reaches the catch-all schema spec.
    EXPECT_EQ(tableCmds(doc.get(), "POSTGRESQL", "SALES", "JOB", "c INT"), Cmds{"CREATE TABLE JOB (c INT)"});
    EXPECT_EQ(tableCmds(doc.get(), "POSTGRESQL", "dbo", "FLD12", "f"),
              Cmds{"CREATE TABLE dbo.FLD12 (f) WITH (fillfactor = 70)"});
    EXPECT_EQ(tableCmds(doc.get(), "SQLITE", "", "JOB"), Cmds{});
}

TEST(XmlCreateSpec, OnlyTheFirstMatchAtEachLevelCounts) {
    DocPtr doc = loadedDoc(xmlDataFile("create_commands.xml"));
    // ORA* comes first: its schema spec does not match, and ORACLE is never reached.
    EXPECT_EQ(tableCmds(doc.get(), "ORACLE", "dbo", "JOB"), Cmds{});
    EXPECT_EQ(tableCmds(doc.get(), "ORACLE", "nomatch", "JOB"), Cmds{"CREATE TABLE never"});
    // DBO matches, none of its table specs does: the catch-all schema spec is not tried.
    EXPECT_EQ(tableCmds(doc.get(), "POSTGRESQL", "dbo", "AXB"), Cmds{});

    auto* impl = static_cast<VqCreateSpecDocImpl*>(doc.get());
    EXPECT_EQ(impl->dbTypeCount(), 3u);
    VqTableSpecImpl* spec = impl->findTableSpec(VqbString("postgresql"), VqbString("dbo"), VqbString("JOB"));
    ASSERT_NE(spec, nullptr);
    EXPECT_EQ(spec->getName().str(), "J?B");
    // The spec's own cursor holds every template unexpanded, the empty one too.
    EXPECT_EQ(drain(spec->getCommands()), (Cmds{"CREATE TABLE %s.%t (%f)", "GRANT SELECT ON %s.%t TO reader",
                                                "", "COMMENT ON TABLE %s.%t IS '%c'"}));
    ASSERT_NE(spec->indexSpec(), nullptr);
    EXPECT_EQ(spec->indexSpec()->getName().str(), "");
    EXPECT_EQ(drain(spec->indexSpec()->getCommands()).size(), 3u);
}

TEST(XmlCreateSpec, IndexCommands) {
    DocPtr doc = loadedDoc(xmlDataFile("create_commands.xml"));
    // Children after the first are values whatever their name; one without a number is 0.
    EXPECT_EQ(indexCmds(doc.get(), "POSTGRESQL", "dbo", "JOB", "JOBIX1", "\"JOB_ID\""),
              (Cmds{"CLUSTER dbo.JOB USING JOBIX1", "CREATE INDEX JOBIX1 ON dbo.JOB (\"JOB_ID\")", "ANALYZE dbo.JOB"}));
    // A first value without a number ends the index spec.
    EXPECT_EQ(indexCmds(doc.get(), "POSTGRESQL", "dbo", "FLD3", "i%t", "F"), Cmds{"CREATE INDEX i%t ON FLD3 (F)"});
    // A table spec without an index spec.
    EXPECT_EQ(indexCmds(doc.get(), "POSTGRESQL", "SALES", "JOB", "ix", "c"), Cmds{});
}

TEST(XmlCreateSpec, NameArgumentsAreChecked) {
    DocPtr doc = loadedDoc(xmlDataFile("create_commands.xml"));
    // Index, table, schema, dbtype, comment: the one with a star is named in the error.
    const std::vector<const char*> refused[] = {{nullptr, "J*B", "dbo", "POSTGRESQL", "", "J*B"},
                                                {nullptr, "**", "dbo", "POSTGRESQL", "", "**"},
                                                {nullptr, "JOB", "d*o", "POSTGRESQL", "", "d*o"},
                                                {nullptr, "JOB", "dbo", "POST*GRES", "", "POST*GRES"},
                                                {nullptr, "JOB", "dbo", "POSTGRESQL", "a*b", "a*b"},
                                                {"ix*1", "JOB", "dbo", "POSTGRESQL", "", "ix*1"}};
    for (const auto& c : refused) {
        Cmds got = c[0] ? indexCmds(doc.get(), c[3], c[2], c[1], c[0], "f")
                        : tableCmds(doc.get(), c[3], c[2], c[1], "f", c[4]);
        EXPECT_EQ(got, Cmds{"<null>"}) << c[5];
        EXPECT_EQ(doc->getErrorMessage().str(), reposMessage(1685, c[5]).str());
    }
    // The error is cleared by the next lookup; fValue may hold anything.
    EXPECT_EQ(tableCmds(doc.get(), "POSTGRESQL", "dbo", "JOB", "a*b*c").size(), 3u);
    EXPECT_TRUE(doc->getErrorMessage().isEmpty());
    for (const char* ok : {"*", "*JOB", "JOB*", "J\\*B", "", "\\**"})
        EXPECT_TRUE(vqIsValidNameArgument(VqbString(ok))) << ok;
}

TEST(XmlCreateSpec, PatternMatching) {
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"", "*", true},         {"", "", true},          {"JOB", "J?B", true},    {"JB", "J?B", false},
        {"JOB", "job", false},   {"AXXBYYC", "A*B*C", true}, {"AXXBYY", "A*B*C", false}, {"?", "\\?", true},
        {"X", "\\?", false},     {"A*B", "A\\*B", true},  {"AXB", "A\\*B", false}, {"\xC3\x89T\xC3\x89", "?T?", true},
        {"ABC", "*C", true},     {"ABC", "A*", true},     {"ABC", "*B", false},    {"AB", "A**B", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vqMatchNamePattern(VqbString(c.name), VqbString(c.pattern)), c.match) << c.name << " ~ " << c.pattern;
    // Many stars against a long name that nearly matches stay cheap.
    std::string longName(5000, 'A');
    EXPECT_FALSE(vqMatchNamePattern(VqbString(longName), VqbString("*A*A*A*A*A*A*A*B")));
}

TEST(XmlCreateSpec, EveryRefusalHasItsMessage) {
    struct Case {
        const char* what;
        std::string text;
        VqbString message;
    };
    const std::string head = kHead;
    const std::string end = "</velqorindocument>";
    auto tables = [&](const std::string& body) {
        return head + "<dbtype name='X'><schemaspec name='*'>" + body + "</schemaspec></dbtype>" + end;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        writeFile(dir.file("c.xml"), c.text);
        DocPtr doc(getTableCreationSpec());
        EXPECT_FALSE(doc->loadFile(VqbString(dir.file("c.xml")))) << c.what;
        EXPECT_EQ(doc->getErrorMessage().str(), c.message.str()) << c.what;
    }
    DocPtr doc(getTableCreationSpec());
    EXPECT_FALSE(doc->loadFile(VqbString(dir.file("absent.xml"))));
    EXPECT_NE(doc->getErrorMessage().str().find("absent.xml"), std::string::npos);
    writeFile(dir.file("bad.xml"), head + "<dbtype name='x'>");
    EXPECT_FALSE(doc->loadFile(VqbString(dir.file("bad.xml"))));
    EXPECT_NE(doc->getErrorMessage().str().find("not well formed"), std::string::npos);
}

TEST(XmlCreateSpec, LoadingReplacesAndKeepsWhatWasReadBeforeAFailure) {
    DocPtr doc(getTableCreationSpec());
    EXPECT_EQ(tableCmds(doc.get(), "POSTGRESQL", "dbo", "JOB"), Cmds{});  // nothing loaded yet
    EXPECT_EQ(indexCmds(doc.get(), "POSTGRESQL", "dbo", "JOB", "ix", "c"), Cmds{});
    EXPECT_TRUE(doc->getErrorMessage().isEmpty());
    TempDir dir;
    for (const char* db : {"A", "B"})
        writeFile(dir.file(std::string(db) + ".xml"),
                  std::string(kHead) + "<dbtype name='" + db + "'><schemaspec name='*'><tablespec name='*'><value>" +
                      db + " %t</value></tablespec></schemaspec></dbtype>" + (*db == 'B' ? "<dbtype/>" : "") +
                      "</velqorindocument>");
    ASSERT_TRUE(doc->loadFile(VqbString(dir.file("A.xml"))));
    EXPECT_EQ(tableCmds(doc.get(), "A", "s", "T"), Cmds{"A T"});
    EXPECT_FALSE(doc->loadFile(VqbString(dir.file("B.xml"))));
    EXPECT_EQ(tableCmds(doc.get(), "A", "s", "T"), Cmds{});  // the earlier file is gone
    EXPECT_EQ(tableCmds(doc.get(), "B", "s", "T"), Cmds{"B T"});  // what came before the failure stays
}
