// Damaged table-create and command files: every truncation and seeded random byte changes of valid files must give
// an error text or a usable result, never a crash (run under the sanitizers in CI).
#include <gtest/gtest.h>

#include <random>

#include "repos_tables_xml.h"
#include "tablecreateconfig.h"
#include "xml_test_util.h"

namespace {

// One load of damaged text with each reader; a failure must say why.
void loadBoth(const std::string& path, const std::string& text, const std::string& label) {
    writeFile(path, text);
    {
        ReposTableSpecReader reader;
        if (!reader.loadSpecFile(VqbString(path))) {
            EXPECT_FALSE(reader.getErrorMessage().isEmpty()) << label;
        } else {
            const ReposTableSetSpec* set = nullptr;
            for (int i = 0; i < reader.getSpecCount(); ++i) ASSERT_TRUE(reader.getSpec(i, &set)) << label;
        }
    }
    VqTableCreateNS::VqCreateSpecDoc* doc = getTableCreationSpec();
    if (!doc->loadFile(VqbString(path))) {
        EXPECT_FALSE(doc->getErrorMessage().isEmpty()) << label;
    } else {
        for (const char* db : {"POSTGRESQL", "ORACLE", "X"}) {
            VqTableCreateNS::VqCommandCursor* c = doc->getIndexCommands(VqbString("IX"), VqbString("JOB"),
                                                                        VqbString("dbo"), VqbString(""),
                                                                        VqbString(db), VqbString("c"));
            ASSERT_NE(c, nullptr) << label;
            while (c->next()) c->getCommand();
            c->release();
        }
    }
    doc->release();
}

class XmlDamagedFile : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(XmlDamagedFile, EveryTruncationAndSeededByteChanges) {
    const std::string text = readFile(xmlDataFile(GetParam()));
    ASSERT_FALSE(text.empty());
    TempDir dir;
    LogCapture quiet(5);
    for (size_t n = 0; n < text.size() && !HasFatalFailure(); ++n)
        loadBoth(dir.file("t.xml"), text.substr(0, n), "prefix " + std::to_string(n));
    std::mt19937 random(20240611u);
    // Bytes that change structure most often, mixed with any byte at all.
    const char special[] = {'<', '>', '/', '"', '\'', '%', '*', '\\', '?', '&', '=', ' ', '\0', '\xC3', '\xFF'};
    for (int round = 0; round < 3000 && !HasFatalFailure(); ++round) {
        std::string damaged = text;
        for (int i = 0, changes = 1 + static_cast<int>(random() % 4); i < changes; ++i) {
            size_t at = random() % damaged.size();
            damaged[at] = (random() % 2) ? special[random() % sizeof(special)] : static_cast<char>(random() % 256);
        }
        loadBoth(dir.file("f.xml"), damaged, "round " + std::to_string(round));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, XmlDamagedFile, ::testing::Values("tableset_full.xml", "create_commands.xml"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, std::string(info.param).find('.'));
                         });
