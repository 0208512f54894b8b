// Applying the installation's XML table sets: modes, statements and their delimiters, rows,
// errors, and the version bookkeeping.
#include "repos_fixture.h"
#include "vqbmessage.h"

namespace {


std::string expand(OpenedRepository& r, const std::string& text, const char* delimiter, RepositoryImpl::ExpandMode mode,
                   const char* key = "", const char* value = "", bool* ok = nullptr) {
    VqbString out, error;
    bool done = r->expandDelimited(VqbString(text), delimiter, mode, VqbString(key), VqbString(value), out, error);
    if (ok) *ok = done;
    return done ? out.str() : error.str();
}

// A table set with one table, rows, and a statement for each phase that leaves a KEYVAL row.
std::string scoreSet(int version, bool insertDataFirst, const std::string& extraColumn = "") {
    auto note = [](const char* phase) {
        return std::string("<stmt><sql>INSERT INTO $$KEYVAL$$ (V_KEY, V_VALUE) VALUES (?, '&amp;&amp;") + phase +
               "&amp;&amp;')</sql><param name='k' type='string'>" + phase + "</param></stmt>";
    };
    return "<tableset name='QUALITY' version='" + std::to_string(version) + "' insertdatafirst='" +
           (insertDataFirst ? "true" : "false") +
           "'><tabledef name='QSCORE'><column name='QS_ID' type='integer' primarykey='true'/>"
           "<column name='QS_NAME' type='string'/><column name='QS_VAL' type='real'/>" +
           extraColumn +
           "<tablerows><row><value column='QS_ID' generateid='true'/><value column='QS_NAME'>a</value></row>"
           "<row><value column='QS_ID'>40</value><value column='QS_VAL'>2.5</value></row></tablerows></tabledef>"
           "<pre><createrepos>" +
           note("precreate") + "</createrepos><deleterepos>" + note("predelete") + "</deleterepos><updaterepos>" +
           note("preupdate") +
           "</updaterepos></pre>"
           "<post><createrepos>" +
           note("postcreate") + "</createrepos><deleterepos>" + note("postdelete") + "</deleterepos><updaterepos>" +
           note("postupdate") + "</updaterepos></post></tableset>";
}

Rows notes(OpenedRepository& r) { return r.rows("SELECT V_KEY FROM KEYVAL ORDER BY V_KEY"); }

}  // namespace

TEST(TableSets, DelimitersExpandOnceEach) {
    OpenedRepository r(false);
    using M = RepositoryImpl::ExpandMode;
    EXPECT_EQ(expand(r, "DELETE FROM $$KEYVAL$$ WHERE 1=1", "$$", M::QualifiedTable),
              "DELETE FROM \"KEYVAL\" WHERE 1=1");
    EXPECT_EQ(expand(r, "##KEYVAL##.V_KEY", "##", M::BareTable), "KEYVAL.V_KEY");
    EXPECT_EQ(expand(r, "&&X&& and &&Y&&", "&&", M::Plain), "X and Y");
    EXPECT_EQ(expand(r, "left $$OPEN", "$$", M::QualifiedTable), "left $$OPEN");
    // A hostile name between the delimiters stays one quoted identifier.
    EXPECT_EQ(expand(r, "$$A\" ; DROP TABLE INFO; --$$", "$$", M::QualifiedTable), "\"A\"\" ; DROP TABLE INFO; --\"");
    EXPECT_EQ(expand(r, "%%a%%%%B%%%%a%%", "%%", M::Macro, "A", "1"), "1%%B%%1");

    // A value that holds its own reference is put in once, never expanded again.
    EXPECT_EQ(expand(r, "%%A%%", "%%", M::Macro, "A", "%%A%%%%A%%"), "%%A%%%%A%%");
    std::string text = "%%A%%";
    bool ok = true;
    int rounds = 0;
    while (ok && rounds < 40) {
        text = expand(r, text, "%%", M::Macro, "A", "%%A%%%%A%%", &ok);
        ++rounds;
    }
    EXPECT_FALSE(ok) << "the text doubled " << rounds << " times";
    EXPECT_EQ(text,
              reposMessage(1688, static_cast<unsigned>(REPOS_MACRO_MAX_TEXT), REPOS_MACRO_MAX_REPLACEMENTS).str());
}

TEST(TableSets, CreateThenDeleteRunsEachPhaseInOrder) {
    for (bool insertDataFirst : {false, true}) {
        SCOPED_TRACE(insertDataFirst ? "insert data first" : "statements first");
        OpenedRepository r;
        r.writeSpec("a.xml", scoreSet(1, insertDataFirst));
        ASSERT_TRUE(r.reopen());
        ASSERT_TRUE(r->applyTableSpecs(true, true, false, false, nullptr)) << r->getErrorMessage().str();
        EXPECT_EQ(notes(r), (Rows{{"postcreate"}, {"precreate"}}));
        // A drawn id, a given id, and NULL for what a row leaves out.
        EXPECT_EQ(r.rows("SELECT QS_ID, QS_NAME, QS_VAL FROM QSCORE ORDER BY QS_ID"),
                  (Rows{{"1", "a", "<null>"}, {"40", "<null>", "2.5"}}));
        EXPECT_EQ(r.rows("SELECT V_VALUE FROM KEYVAL WHERE V_KEY='precreate'"), (Rows{{"precreate"}}));
        int version = 0;
        r->getTypeVersion("QUALITY", &version);
        EXPECT_EQ(version, 1);

        ASSERT_TRUE(r.exec("DELETE FROM KEYVAL"));
        ASSERT_TRUE(r->applyTableSpecs(true, false, false, false, nullptr)) << r->getErrorMessage().str();
        // With the data first, a deleted table set ends before its post statements.
        EXPECT_EQ(notes(r), insertDataFirst ? Rows{{"predelete"}} : (Rows{{"postdelete"}, {"predelete"}}));
        EXPECT_EQ(r.rows("SELECT COUNT(*) FROM sqlite_master WHERE name='QSCORE'"), (Rows{{"0"}}));
    }
}

TEST(TableSets, UpgradeCountsThenAppliesNewerSets) {
    OpenedRepository r;
    r.writeSpec("a.xml", scoreSet(2, false));
    ASSERT_TRUE(r.reopen());
    ASSERT_TRUE(r->applyTableSpecs(true, true, false, false, nullptr));
    ASSERT_TRUE(r->createInfoRows()) << r->getErrorMessage().str();
    ASSERT_TRUE(r.exec("DELETE FROM KEYVAL"));

    r.writeSpec("a.xml", scoreSet(3, false, "<column name='QS_NEW' type='integer'/>") +
                             "<tableset name='NEWSET' version='1'><tabledef name='NEWT'>"
                             "<column name='N_ID' type='integer'/></tabledef></tableset>"
                             "<tableset name='OLDSET' version='0'/>");
    ASSERT_TRUE(r.reopen());
    unsigned count = 0;
    ASSERT_TRUE(r->applyTableSpecs(false, false, true, true, &count));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(notes(r), Rows{});
    EXPECT_EQ(r.rows("SELECT COUNT(*) FROM pragma_table_info('QSCORE') WHERE name='QS_NEW'"), (Rows{{"0"}}));

    ASSERT_TRUE(r->applyTableSpecs(false, false, true, false, &count)) << r->getErrorMessage().str();
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(notes(r), (Rows{{"postupdate"}, {"preupdate"}}));
    EXPECT_EQ(r.rows("SELECT COUNT(*) FROM pragma_table_info('QSCORE') WHERE name='QS_NEW'"), (Rows{{"1"}}));
    EXPECT_EQ(r.rows("SELECT COUNT(*) FROM QSCORE"), (Rows{{"2"}}));
    EXPECT_EQ(r.rows("SELECT I_TYPE, I_VERS FROM INFO WHERE I_TYPE NOT IN ('VQREPOSITORY', 'NCOA') ORDER BY I_TYPE"),
              (Rows{{"NEWSET", "1"}, {"QUALITY", "3"}}));
    EXPECT_EQ(r.rows("SELECT COUNT(*) FROM sqlite_master WHERE name='NEWT'"), (Rows{{"1"}}));

    // Everything is current now.
    ASSERT_TRUE(r.reopen());
    ASSERT_TRUE(r->applyTableSpecs(false, false, true, true, &count));
    EXPECT_EQ(count, 0u);
}

TEST(TableSets, StatementErrorsStopUnlessTheSetIgnoresThem) {
    for (bool ignore : {false, true}) {
        SCOPED_TRACE(ignore ? "ignored" : "fatal");
        OpenedRepository r;
        r.writeSpec("a.xml", std::string("<tableset name='S' version='1' ignorecustomerrors='") +
                                 (ignore ? "true" : "false") +
                                 "'><tabledef name='STAB'><column name='S_ID' type='integer'/></tabledef>"
                                 "<pre><createrepos><stmt><sql>INSERT INTO $$NOPE$$ VALUES (1)</sql></stmt>"
                                 "<stmt><sql>INSERT INTO $$KEYVAL$$ (V_KEY) VALUES ('after')</sql></stmt>"
                                 "</createrepos></pre></tableset>");
        ASSERT_TRUE(r.reopen());
        EXPECT_EQ(r->applyTableSpecs(true, true, false, false, nullptr), ignore);
        EXPECT_EQ(r.rows("SELECT COUNT(*) FROM sqlite_master WHERE name='STAB'"), (Rows{{ignore ? "1" : "0"}}));
        EXPECT_EQ(notes(r), ignore ? Rows{{"after"}} : Rows{});
        if (!ignore) {
            EXPECT_NE(r->getErrorMessage().str().find("NOPE"), std::string::npos) << r->getErrorMessage().str();
        }
    }
}

TEST(TableSets, NamesFromTheFilesAreBoundNotPasted) {
    OpenedRepository r;
    r.writeSpec("a.xml", "<tableset name=\"it's'); DROP TABLE RULE; --\" version='2'/>");
    ASSERT_TRUE(r.reopen());
    ASSERT_TRUE(r->applyTableSpecs(true, true, false, false, nullptr));
    ASSERT_TRUE(r->createInfoRows()) << r->getErrorMessage().str();
    EXPECT_EQ(r.rows("SELECT I_VERS FROM INFO WHERE I_TYPE='IT''S''); DROP TABLE RULE; --'"), (Rows{{"2"}}));
    EXPECT_EQ(r.rows("SELECT COUNT(*) FROM sqlite_master WHERE name='RULE'"), (Rows{{"1"}}));
}

TEST(TableSets, RefusedInfoRowIsReportedAndTheOthersStillWritten) {
    OpenedRepository r;
    r.writeSpec("a.xml", "<tableset name='AAA' version='1'/><tableset name='ZZZ' version='5'/>");
    ASSERT_TRUE(r.reopen());
    ASSERT_TRUE(r->applyTableSpecs(true, true, false, false, nullptr));
    ASSERT_TRUE(
        r.exec("CREATE TRIGGER NOAAA BEFORE INSERT ON INFO WHEN NEW.I_TYPE='AAA' "
               "BEGIN SELECT RAISE(ABORT, 'no AAA'); END"));
    EXPECT_FALSE(r->createInfoRows());
    EXPECT_NE(r->getErrorMessage().str().find("no AAA"), std::string::npos) << r->getErrorMessage().str();
    EXPECT_EQ(r.rows("SELECT I_TYPE, I_VERS FROM INFO ORDER BY I_TYPE"),
              (Rows{{"NCOA", "1"}, {"VQREPOSITORY", "8"}, {"ZZZ", "5"}}));
}

// A set recording its version under one of the repository's own INFO types would overwrite that
// row (and every upgrade would reset and re-apply it); a set table named like a catalogue table
// would replace it. The spec files are refused, naming the set, and nothing is applied.
TEST(TableSets, SetsThatWouldOverwriteTheRepositorysOwnRowsOrTablesAreRefused) {
    OpenedRepository r;
    ASSERT_TRUE(r->createInfoRows()) << r->getErrorMessage().str();
    const Rows info = r.rows("SELECT I_TYPE, I_VERS FROM INFO ORDER BY I_TYPE");
    const std::string table = "<tabledef name='HOSTIL'><column name='H_ID' type='integer'/></tabledef>";
    const struct {
        std::string set;
        VqbString error;
    } cases[] = {
        {"<tableset name='NCOA' version='5'>" + table, reposMessage(1689, "NCOA")},
        {"<tableset name='vqrepository' version='9'>" + table, reposMessage(1689, "VQREPOSITORY")},
        {"<tableset name='Profile_ResultSet' version='2'>", reposMessage(1689, "PROFILE_RESULTSET")},
        {"<tableset name='MONITOR' version='2'>", reposMessage(1689, "MONITOR")},
        {"<tableset name='EXTRA' version='2'><tabledef name='keyval'><column name='V_KEY' type='string'/></tabledef>",
         reposMessage(1690, "KEYVAL", "EXTRA")},
        {"<tableset name='EXTRA' version='2'><tabledef name='INFO'><column name='I_TYPE' type='string'/></tabledef>",
         reposMessage(1690, "INFO", "EXTRA")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        r.writeSpec("a.xml", c.set + "</tableset>");
        VqbString error;
        EXPECT_FALSE(r.reopen(&error));
        EXPECT_EQ(error.str().rfind(c.error.str(), 0), 0u) << error.str();
    }
    r.writeSpec("a.xml", "<tableset name='NCOA2' version='5'/>");
    ASSERT_TRUE(r.reopen());
    ASSERT_TRUE(r->applyTableSpecs(false, false, true, false, nullptr)) << r->getErrorMessage().str();
    EXPECT_EQ(r.rows("SELECT I_TYPE, I_VERS FROM INFO WHERE I_TYPE <> 'NCOA2' ORDER BY I_TYPE"), info);
}
