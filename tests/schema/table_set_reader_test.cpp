// Reading XML table-create spec files: every feature, merging, the directory, every refusal.
#include <gtest/gtest.h>

#include <cmath>

#include "repos_tables_xml.h"
#include "vqbmessage.h"
#include "xml_test_util.h"

namespace {

std::string doc(const std::string& body) {
    return "<velqorindocument class=\"ReposTableCreateSpec\" version=\"1.0\">" + body + "</velqorindocument>";
}

// Loads one file holding text; the reader is kept for inspection.
struct Loaded {
    TempDir dir;
    ReposTableSpecReader reader;
    bool ok = false;

    explicit Loaded(const std::string& text) {
        writeFile(dir.file("sets.xml"), text);
        ok = reader.loadSpecFile(VqbString(dir.file("sets.xml")));
    }
    const ReposTableSetSpec& set(int i = 0) {
        const ReposTableSetSpec* s = nullptr;
        EXPECT_TRUE(reader.getSpec(i, &s));
        return *s;
    }
};

std::string expanded(const std::string& text, const ReposMacroMap& macros, bool* ok = nullptr,
                     VqbString* error = nullptr) {
    VqbString out, err;
    bool r = expandSpecMacros(VqbString(text), macros, out, err);
    if (ok) *ok = r;
    if (error) *error = err;
    return out.str();
}

}  // namespace

TEST(XmlTableSpec, ReadsEveryFeatureOfAFullFile) {
    ReposTableSpecReader reader;
    ASSERT_TRUE(reader.loadSpecFile(VqbString(xmlDataFile("tableset_full.xml")))) << reader.getErrorMessage().str();
    ASSERT_EQ(reader.getSpecCount(), 1);
    const ReposTableSetSpec* set = nullptr;
    ASSERT_TRUE(reader.getSpec(0, &set));
    EXPECT_EQ(set->name.str() + "/" + set->description.str() + "/" + set->indexPrefix.str(), "REFDATA/Reference data/RD");
    EXPECT_EQ(set->version, 3);
    EXPECT_TRUE(set->ignoreCustomErrors && set->insertDataFirst);
    EXPECT_EQ(set->macros.size(), 7u);  // the empty key is dropped

    ASSERT_EQ(set->tables.size(), 1u);
    const ReposTableDefSpec& t = set->tables[0];
    EXPECT_EQ(t.name.str(), "RDCODE");
    EXPECT_TRUE(t.deleteExisting);
    // Name, type, key, index number, nullable, length, max length; the second from macros, nested.
    const char* columns[] = {"CD_ID 2 1 901 0 0 0", "CD_NAME 4 0 0 1 40 0", "CD_TEXT 4 0 0 1 255 1",
                             "CD_LEN 4 0 0 1 255 0" /* not a number */, "CD_UID 4 0 0 1 36 0", "CD_WHEN 5 0 0 1",
                             "CD_RATE 3 0 0 1 0 0" /* length and max length are for strings only */};
    ASSERT_EQ(t.columns.size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        const ReposColumnSpec& c = t.columns[i];
        std::string got = VqbString::format("%s %d %d %d %d", c.name.asCstr(), c.type, c.primaryKey, c.indexNumber,
                                            c.nullable).str();
        if (c.type != VQB_TYPE_DATE) got += VqbString::format(" %d %d", c.length, c.useMaxLength).str();
        EXPECT_EQ(got, columns[i]);
    }
    EXPECT_EQ(t.columns[1].description.str(), "Name of the code");

    ASSERT_EQ(t.rows.size(), 2u);
    const ReposRowSpec& generated = t.rows[0];
    EXPECT_EQ(generated.generatedIdColumn.str(), "CD_ID");
    EXPECT_TRUE(generated.values.at(VqbString("CD_ID")).isNull());
    // Stored under the column's own name, whatever case the row used.
    EXPECT_EQ(generated.values.at(VqbString("CD_NAME")).asString().str(), "hello the code");
    EXPECT_EQ(generated.values.at(VqbString("CD_UID")).asString().length(), 36u);
    const VqbDatavar& when = generated.values.at(VqbString("CD_WHEN"));
    EXPECT_EQ(when.getType(), VQB_TYPE_REAL);
    EXPECT_LT(std::fabs(when.asDouble() - VqbDate::currentDate().asDouble()), 1.0);
    const ReposRowSpec& plain = t.rows[1];
    EXPECT_TRUE(plain.generatedIdColumn.isEmpty());
    EXPECT_EQ(plain.values.at(VqbString("CD_NAME")).asString().str(), " ");
    EXPECT_TRUE(plain.values.at(VqbString("CD_TEXT")).isNull());
    EXPECT_EQ(plain.values.at(VqbString("CD_RATE")).asString().str(), "1<2");
    EXPECT_EQ(plain.values.count(VqbString("CD_UID")), 0u);

    const auto& preCreate = set->statements(REPOS_STMT_PRE, REPOS_STMT_CREATE);
    ASSERT_EQ(preCreate.size(), 1u);
    EXPECT_EQ(preCreate[0].sql.str(), "DELETE FROM $$KEYVAL$$ WHERE V_KEY = ?");
    ASSERT_EQ(preCreate[0].params.size(), 1u);
    const ReposStmtParam& k = preCreate[0].params[0];
    EXPECT_EQ(k.name.str() + VqbString::format(" %d %d ", k.type, k.length).str() + k.value.asString().str(),
              "k 4 32 %%NOTEXPANDED%%");  // parameter values are data
    EXPECT_EQ(set->statements(REPOS_STMT_PRE, REPOS_STMT_DELETE)[0].sql.str(), "DROP VIEW RDVIEW");
    EXPECT_TRUE(set->statements(REPOS_STMT_PRE, REPOS_STMT_UPDATE).empty());
    const auto& postCreate = set->statements(REPOS_STMT_POST, REPOS_STMT_CREATE);
    ASSERT_EQ(postCreate.size(), 2u);
    ASSERT_EQ(postCreate[0].params.size(), 2u);
    const ReposStmtParam &p0 = postCreate[0].params[0], &p1 = postCreate[0].params[1];
    EXPECT_EQ(p0.name.str() + VqbString::format(" %d %d %d", p0.length, p1.type, p1.length).str(), "key 255 2 0");
    EXPECT_EQ(postCreate[1].sql.str(), "UPDATE ##RDCODE## SET CD_LEN = '%%UNKNOWN%%'");
    EXPECT_EQ(set->statements(REPOS_STMT_POST, REPOS_STMT_UPDATE).size(), 1u);
    EXPECT_TRUE(set->statements(REPOS_STMT_POST, REPOS_STMT_DELETE).empty());
}

TEST(XmlTableSpec, DefaultsGeneratedIdsAndKeyChecks) {
    // Defaults of a minimal table set; quotes and SQL in values and parameters stay as written, for binding.
    Loaded m(doc("<tableset name='m' version='x'><tabledef name='t'><column name='c' type='string'/>"
                 "<tablerows><row><value column='C'>x'); DROP TABLE INFO; --</value></row></tablerows></tabledef>"
                 "<pre><createrepos><stmt><sql>SELECT ?</sql><param name='p' type='string'>'\"; --</param></stmt>"
                 "</createrepos></pre></tableset>"));
    ASSERT_TRUE(m.ok) << m.reader.getErrorMessage().str();
    EXPECT_EQ(m.set().tables[0].rows[0].values.at(VqbString("C")).asString().str(), "x'); DROP TABLE INFO; --");
    EXPECT_EQ(m.set().statements(REPOS_STMT_PRE, REPOS_STMT_CREATE)[0].params[0].value.asString().str(), "'\"; --");
    const ReposColumnSpec& c = m.set().tables[0].columns[0];
    EXPECT_EQ(m.set().version, 0);  // not a number
    EXPECT_FALSE(m.set().ignoreCustomErrors || m.set().insertDataFirst || m.set().tables[0].deleteExisting);
    EXPECT_TRUE(c.length == 255 && c.nullable && !c.primaryKey && c.indexNumber == 0);

    // A generated id passes the key check with a null value; generators apply only to their types; rows may come
    // before their columns.
    Loaded ok(doc("<tableset name='g' version='1'><tabledef name='T'><tablerows><row><value column='id' "
                  "generateid='true'/><value column='S' generateid='true' setcurdate='true'>s</value><value "
                  "column='D' generateuuid='true'>d</value></row><row><value column='ID' generateid='no'>4</value>"
                  "</row></tablerows><column name='ID' type='integer' primarykey='1'/><column name='S' type='string'/>"
                  "<column name='D' type='date'/></tabledef></tableset>"));
    ASSERT_TRUE(ok.ok) << ok.reader.getErrorMessage().str();
    const auto& rows = ok.set().tables[0].rows;
    EXPECT_EQ(rows[0].generatedIdColumn.str(), "ID");
    EXPECT_EQ(rows[0].values.at(VqbString("S")).asString().str(), "s");
    EXPECT_EQ(rows[0].values.at(VqbString("D")).asString().str(), "d");
    EXPECT_TRUE(rows[1].generatedIdColumn.isEmpty());
}

TEST(XmlTableSpec, MacroExpansion) {
    ReposMacroMap m{{VqbString("A"), VqbString("1")}, {VqbString("B"), VqbString("%%a%%2")},
                    {VqbString("C"), VqbString("3")}, {VqbString("E"), VqbString("")}};
    const std::pair<const char*, const char*> cases[] = {
        {"plain % text", "plain % text"}, {"%%A%%%%B%%%%C%%", "1123"},
        {"x%%b%%y", "x12y"},  // keys ignore case, values are expanded again
        {"%%Z%% and %%A%%", "%%Z%% and 1"}, {"[%%E%%]", "[]"},
        {"%%A%% then %%unclosed", "%%A%% then %%unclosed"},  // all or nothing
        {"%%%%A%%", "%%%%A%%"},  // empty key, then an unclosed reference
        {"%%%%%%A%%", "%%%%1"}, {"%%A%% %%A%% %%B%% %%B%%", "1 1 12 12"},  // repetition is not recursion
    };
    for (const auto& c : cases) EXPECT_EQ(expanded(c.first, m), c.second) << c.first;
}

TEST(XmlTableSpec, MacrosThatNeverEndAreRefused) {
    // Doubling through 30 macros stops at the size limit instead of filling memory.
    ReposMacroMap doubling;
    for (int i = 0; i < 30; ++i)
        doubling[VqbString::format("M%d", i)] = VqbString::format("%%%%M%d%%%%%%%%M%d%%%%", i + 1, i + 1);
    doubling[VqbString("M30")] = VqbString(std::string(54, 'x'));
    const struct {
        ReposMacroMap macros;
        std::string text;
        VqbString message;
    } cases[] = {
        {{{VqbString("A"), VqbString("x%%A%%")}}, "%%A%%", reposMessage(1687, "A")},
        {{{VqbString("A"), VqbString("%%B%%")}, {VqbString("B"), VqbString("<%%a%%>")}}, "go %%A%%",
         reposMessage(1687, "A")},
        // The value opens a reference that the text after it closes.
        {{{VqbString("K"), VqbString("%%K")}}, "%%K%%%%", reposMessage(1687, "K")},
        {{{VqbString("A"), VqbString("%%")}}, "%%A%%A%%", reposMessage(1687, "A")},
        {doubling, "%%M0%%",
         reposMessage(1688, static_cast<unsigned>(REPOS_MACRO_MAX_TEXT), REPOS_MACRO_MAX_REPLACEMENTS)},
    };
    for (const auto& c : cases) {
        bool ok = true;
        VqbString error;
        expanded(c.text, c.macros, &ok, &error);
        EXPECT_FALSE(ok) << c.text;
        EXPECT_EQ(error.str(), c.message.str()) << c.text;
    }
    // A cycle in the macros is refused when the table set is read, even if nothing uses it.
    Loaded l(doc("<tableset name='c' version='1'><macros><macro key='P' value='%%Q%%'/>"
                 "<macro key='Q' value='%%P%%'/></macros></tableset>"));
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.reader.getErrorMessage().str().find("refers to itself"), std::string::npos);
}

TEST(XmlTableSpec, TableSetsAndTablesOfOneNameMerge) {
    TempDir dir;
    writeFile(dir.file("a.xml"),
              doc("<tableset name='Ext' version='1' description='first' ignorecustomerrors='true'>"
                  "<macros><macro key='M' value='one'/><macro key='N' value='n1'/></macros>"
                  "<tabledef name='t1' description='d1'><column name='A' type='integer' primarykey='true'/>"
                  "<tablerows><row><value column='A'>1</value></row></tablerows></tabledef>"
                  "<post><createrepos><stmt><sql>S1 %%M%%</sql></stmt></createrepos></post></tableset>"
                  "<tableset name='Other' version='1'/>"
                  "<tableset name='ext' version='1'><tabledef name='T1'><column name='B' type='string'/></tabledef>"
                  "</tableset>"));
    writeFile(dir.file("b.xml"),
              doc("<tableset name='EXT' version='2' description='second'>"
                  "<tabledef name='T2'><column name='X' type='real'/></tabledef>"
                  "<tabledef name='T1' description='d2'><tablerows><row><value column='A'>2</value>"
                  "<value column='B'>%%N%%</value></row></tablerows></tabledef>"
                  "<post><createrepos><stmt><sql>S2 %%M%%</sql></stmt></createrepos></post>"
                  "<macros><macro key='m' value='two'/></macros></tableset>"));
    // A later file that fails leaves the merged table set as it was.
    writeFile(dir.file("c.xml"), doc("<tableset name='EXT' version='9'><tabledef name='T1'>"
                                     "<column name='A' type='integer'/></tabledef></tableset>"));
    ReposTableSpecReader reader;
    ASSERT_TRUE(reader.openSpecDirectory(VqbString(dir.path())));
    unsigned count = 99;
    LogCapture log;
    EXPECT_FALSE(reader.loadSpecDirectory(&count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(log.contains(reposMessage(1509, "A", "table T1").str(), 5));
    EXPECT_FALSE(reader.loadSpecDirectory());  // the failure stands
    EXPECT_NE(reader.getErrorMessage().str().find(reposMessage(1509, "A", "table T1").str()), std::string::npos);
    EXPECT_NE(reader.getErrorMessage().str().find("c.xml"), std::string::npos);

    ASSERT_EQ(reader.getSpecCount(), 2);
    const ReposTableSetSpec* s = nullptr;
    ASSERT_TRUE(reader.getSpec(1, &s));
    EXPECT_EQ(s->name.str(), "OTHER");
    ASSERT_TRUE(reader.getSpec(0, &s));
    // The later file's description and flags (ignorecustomerrors is absent there); macros merged by key.
    EXPECT_EQ(VqbString::format("%s %s %d %d %d %s", s->name.asCstr(), s->description.asCstr(), s->version,
                                s->ignoreCustomErrors, static_cast<int>(s->macros.size()),
                                s->macros.at(VqbString("M")).asCstr()).str(),
              "EXT second 2 0 2 two");
    ASSERT_EQ(s->tables.size(), 2u);
    const ReposTableDefSpec& t1 = s->tables[0];
    EXPECT_EQ(t1.name.str() + " " + t1.description.str() + " " + s->tables[1].name.str(), "T1 d2 T2");
    ASSERT_EQ(t1.columns.size(), 2u);
    ASSERT_EQ(t1.rows.size(), 2u);
    EXPECT_EQ(t1.rows[1].values.at(VqbString("B")).asString().str(), "n1");
    const auto& post = s->statements(REPOS_STMT_POST, REPOS_STMT_CREATE);
    ASSERT_EQ(post.size(), 2u);
    EXPECT_EQ(post[0].sql.str(), "S1 one");  // expanded with the macros of its own time
    EXPECT_EQ(post[1].sql.str(), "S2 two");  // macros hold wherever they stand
}

TEST(XmlTableSpec, DirectoryIsReadOnceInNameOrder) {
    TempDir dir;
    auto set = [](const char* name, int version) {
        return doc(std::string("<tableset name='") + name + "' version='" + std::to_string(version) +
                   "'><tabledef name='T'><column name='C" + std::to_string(version) + "' type='integer'/>"
                   "</tabledef></tableset>");
    };
    writeFile(dir.file("b.xml"), set("S", 2));
    writeFile(dir.file("a.xml"), set("S", 1));
    writeFile(dir.file("c.XML"), set("S", 3));
    writeFile(dir.file("d.xml.bak"), set("S", 4));
    writeFile(dir.file("e.txt"), "not xml");
    ReposTableSpecReader reader;
    unsigned count = 7;
    EXPECT_TRUE(reader.loadSpecDirectory(&count));  // never opened
    EXPECT_EQ(count, 0u);
    ASSERT_TRUE(reader.openSpecDirectory(VqbString(dir.path())));
    // Loading again (as applying the table sets does) must not merge every file a second time.
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(reader.loadSpecDirectory(&count)) << reader.getErrorMessage().str();
        EXPECT_EQ(count, 1u);
    }
    const ReposTableSetSpec* s = nullptr;
    ASSERT_TRUE(reader.getSpec(0, &s));
    EXPECT_EQ(s->version, 2);  // b.xml came last
    ASSERT_EQ(s->tables[0].columns.size(), 2u);
    EXPECT_EQ(s->tables[0].columns[0].name.str(), "C1");
    EXPECT_FALSE(reader.getSpec(1, &s) || reader.getSpec(-1, nullptr));
    TempDir empty;
    ReposTableSpecReader missing;
    EXPECT_FALSE(missing.openSpecDirectory(VqbString(empty.file("nowhere"))));
    EXPECT_FALSE(missing.getErrorMessage().isEmpty());
}

TEST(XmlTableSpec, EveryRefusalHasItsMessage) {
    const std::string col = "<column name='ID' type='integer' primarykey='true'/>";
    auto table = [](const std::string& body) {
        return doc("<tableset name='S' version='1'><tabledef name='T'>" + body + "</tabledef></tableset>");
    };
    auto rows = [&](const std::string& body) { return table(col + "<tablerows>" + body + "</tablerows>"); };
    auto stmt = [](const std::string& body) {
        return doc("<tableset name='S' version='1'><pre><createrepos>" + body + "</createrepos></pre></tableset>");
    };
    struct Case {
        const char* what;
        std::string text;
        VqbString message;
    };
    const Case cases[] = {
        {"wrong root", "<document class='ReposTableCreateSpec' version='1.0'/>", reposMessage(288)},
        {"wrong class", "<velqorindocument class='VqCreateSpec' version='1.0'/>",
         reposMessage(1684, "ReposTableCreateSpec")},
        {"no class", "<velqorindocument version='1.0'/>", reposMessage(1684, "ReposTableCreateSpec")},
        {"wrong version", "<velqorindocument class='ReposTableCreateSpec' version='1.00'/>", reposMessage(290)},
        {"root child", doc("<tables/>"), reposMessage(1396, "tables")},
        {"tableset child", doc("<tableset name='S' version='1'><table/></tableset>"), reposMessage(1396, "table")},
        {"macros child", doc("<tableset name='S' version='1'><macros><mac key='a'/></macros></tableset>"),
         reposMessage(1396, "mac")},
        {"tabledef child", table("<col/>"), reposMessage(1396, "col")},
        {"tablerows child", table("<tablerows><rows/></tablerows>"), reposMessage(1396, "rows")},
        {"row child", rows("<row><val/></row>"), reposMessage(1396, "val")},
        {"pre child", doc("<tableset name='S' version='1'><pre><create/></pre></tableset>"),
         reposMessage(1396, "create")},
        {"stmt case", stmt("<Stmt><sql>x</sql></Stmt>"), reposMessage(1396, "Stmt")},
        {"stmt child", stmt("<stmt><sql>x</sql><arg/></stmt>"), reposMessage(1396, "arg")},
        {"second sql", stmt("<stmt><sql>x</sql><sql>y</sql></stmt>"), reposMessage(1396, "sql")},
        {"no sql", stmt("<stmt><param name='p' type='string'/></stmt>"), reposMessage(1395, "sql")},
        {"table name too long", doc("<tableset name='S' version='1'><tabledef name='TOOLONG'/></tableset>"),
         reposMessage(1396, "TOOLONG")},
        {"table name not an identifier", doc("<tableset name='S' version='1'><tabledef name='T\"X'/></tableset>"),
         reposMessage(1396, "T\"X")},
        {"column name too long", table("<column name='col_name9' type='integer'/>"),
         reposMessage(1396, "COL_NAME9")},
        {"column name not an identifier", table("<column name='a;b' type='integer'/>"), reposMessage(1396, "A;B")},
        {"index prefix not an identifier", doc("<tableset name='S' version='1' indexprefix='x y'/>"),
         reposMessage(1396, "x y")},
        {"isnull not boolean", rows("<row><value column='ID' isnull='maybe'>1</value></row>"),
         reposMessage(1396, "maybe")},
        {"row names an unknown column", rows("<row><value column='ID'>1</value><value column='NOPE'>2</value></row>"),
         reposMessage(1396, "NOPE")},
        {"tableset name", doc("<tableset version='1'/>"), reposMessage(1415, "name")},
        {"tableset version", doc("<tableset name='S'/>"), reposMessage(1415, "version")},
        {"tabledef name", doc("<tableset name='S' version='1'><tabledef/></tableset>"), reposMessage(1415, "name")},
        {"column name", table("<column type='integer'/>"), reposMessage(1415, "name")},
        {"column type", table("<column name='C'/>"), reposMessage(1415, "type")},
        {"column type unknown", table("<column name='C' type='blob'/>"), reposMessage(1415, "type")},
        {"primarykey not boolean", table("<column name='C' type='integer' primarykey='perhaps'/>"),
         reposMessage(1415, "primarykey")},
        {"param name", stmt("<stmt><sql>x</sql><param type='string'/></stmt>"), reposMessage(1415, "name")},
        {"param type", stmt("<stmt><sql>x</sql><param name='p'/></stmt>"), reposMessage(1415, "type")},
        {"value without column", rows("<row><value>1</value></row>"), reposMessage(1415, "column")},
        {"column twice", table(col + "<column name='id' type='string'/>"), reposMessage(1509, "ID", "table T")},
        {"column twice in a row", rows("<row><value column='ID'>1</value><value column='id'>2</value></row>"),
         reposMessage(1509, "ID", "a row of table T")},
        {"two generated ids",
         table(col + "<column name='ID2' type='integer' primarykey='true'/><tablerows><row>"
                     "<value column='ID' generateid='true'/><value column='ID2' generateid='true'/></row></tablerows>"),
         reposMessage(1509, "ID2", "a row of table T")},
        {"row without key", rows("<row/>"), reposMessage(696, "T", "ID")},
        {"null key", rows("<row><value column='ID' isnull='true'>1</value></row>"), reposMessage(696, "T", "ID")},
        // generateid on a key column that is not an integer does not excuse a missing key.
        {"generated text key", table("<column name='K' type='string' primarykey='true'/><tablerows><row>"
                                     "<value column='K' generateid='true' isnull='1'/></row></tablerows>"),
         reposMessage(696, "T", "K")},
        {"self-referring macro",
         doc("<tableset name='S' version='1'><macros><macro key='A' value='%%A%%'/></macros></tableset>"),
         reposMessage(1687, "A")},
    };
    for (const Case& c : cases) {
        Loaded l(c.text);
        EXPECT_FALSE(l.ok) << c.what;
        EXPECT_EQ(l.reader.getSpecCount(), 0) << c.what;
        const std::string error = l.reader.getErrorMessage().str();
        EXPECT_EQ(error.rfind(c.message.str(), 0), 0u) << c.what << ": " << error;
        EXPECT_NE(error.find("sets.xml"), std::string::npos) << c.what;
    }

    for (const char* text : {"<velqorindocument class='ReposTableCreateSpec' version='1.0'><tableset>", ""}) {
        Loaded malformed(text);
        EXPECT_FALSE(malformed.ok);
        EXPECT_NE(malformed.reader.getErrorMessage().str().find(*text ? "not well formed" : ""), std::string::npos);
        EXPECT_FALSE(malformed.reader.getErrorMessage().isEmpty());
    }
}
