// The schema text dump, checked against hand-made excerpts and for its structure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "np_fio.h"
#include "repos_schema.h"
#include "test_support.h"

namespace {

using Names = std::vector<std::string>;

std::string dump(const TempDir& dir, bool sortByName, bool withDescriptions, bool singleGroup) {
    std::string path = dir.file("schema.txt");
    EXPECT_EQ(writeRepositorySchemaInfo(path.c_str(), sortByName, withDescriptions, singleGroup), 0u);
    std::string text = readFile(path);
    // Every line ends in CR LF.
    for (size_t i = 0; i < text.size(); ++i)
        if ((text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) ||
            (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ADD_FAILURE() << "bare line end at " << i;
    EXPECT_EQ(text.compare(text.size() - 2, 2, "\r\n"), 0);
    return text;
}

// Table names and their labels, in the order of their headings.
std::pair<Names, Names> headings(const std::string& text) {
    std::pair<Names, Names> out;
    for (size_t pos = text.find("TABLE: "); pos != std::string::npos; pos = text.find("\r\nTABLE: ", pos)) {
        if (text.compare(pos, 2, "\r\n") == 0) pos += 2;
        size_t open = text.find(" (", pos), close = text.find(")\r\n", open);
        out.first.push_back(text.substr(pos + 7, open - pos - 7));
        out.second.push_back(text.substr(open + 2, close - open - 2));
        pos = close;
    }
    return out;
}

// The blocks of the tables: each heading line up to the next heading (or the end).
std::string blocks(const std::string& text, const Names& tables) {
    std::string out;
    for (const std::string& table : tables) {
        size_t start = text.find("\r\nTABLE: " + table + " (");
        if (start == std::string::npos) continue;
        size_t end = text.find("\r\nTABLE: ", start + 2);
        out += text.substr(start + 2, end == std::string::npos ? std::string::npos : end - start);
    }
    return out;
}

std::string golden(const char* name) {
    const char* root = std::getenv("REPOS_SOURCE_DIR");
    std::string text = readFile(std::string(root ? root : ".") + "/tests/schema/golden/" + name);
    EXPECT_FALSE(text.empty()) << "missing golden file " << name;
    return text;
}

}  // namespace

TEST(SchemaDump, PlainDumpGroupsTablesByProduct) {
    TempDir dir;
    std::string text = dump(dir, false, false, false);
    ASSERT_EQ(text.rfind("VELQORIN REPOSITORY SCHEMA - VERSION 8\r\n\r\nTABLE: JOB (Profile)\r\n", 0), 0u);
    auto [tables, labels] = headings(text);
    ASSERT_EQ(tables.size(), 136u);
    // Profile 53 + RDARES, Monitor 29, Explorer 28, NCOA 9, Repository 16.
    const struct {
        size_t from, to;
        const char* label;
    } groups[] = {{0, 54, "Profile"}, {54, 83, "Monitor"}, {83, 111, "Explorer"}, {111, 120, "NCOA"},
                  {120, 136, "Repository"}};
    for (const auto& g : groups)
        for (size_t i = g.from; i < g.to; ++i)
            EXPECT_EQ(labels[i], tables[i] == "RDARES" ? "Repository" : g.label) << tables[i];
    EXPECT_EQ(tables[32] + " " + tables[33] + " " + tables[111] + " " + tables[120] + " " + tables[135],
              "FLDRDA RDARES NCOALO INFO REVENT");
    // The short NCOAEX is listed, never the extended one.
    EXPECT_EQ(blocks(text, {"NCOAEX"}).find("PAFNCOA"), std::string::npos);
    EXPECT_EQ(blocks(text, {"INFO", "FLD", "RDARES", "NCOAED"}), golden("plain_excerpt.txt"));

    auto [single, singleLabels] = headings(dump(dir, false, false, true));
    ASSERT_EQ(single.size(), 136u);
    EXPECT_EQ(single[0] + " " + singleLabels[0] + " " + single[10] + " " + singleLabels[10],
              "INFO Repository JOB Profile");
    EXPECT_EQ(Names(singleLabels.begin() + 127, singleLabels.end()), Names(9, "NCOA"));
}

TEST(SchemaDump, SortingOrdersTablesWithinGroupsAndColumnsWithinTables) {
    TempDir dir;
    std::string text = dump(dir, true, false, false);
    Names tables = headings(text).first;
    ASSERT_EQ(tables.size(), 136u);
    for (size_t i = 1; i < tables.size(); ++i)
        EXPECT_TRUE(i == 54 || i == 83 || i == 111 || i == 120 || tables[i - 1] < tables[i]) << tables[i];
    EXPECT_EQ(tables[0] + " " + tables[111] + " " + tables[120], "ALERT NCOABR FLDMAP");
    // The metric placeholder has no name, so it sorts first.
    EXPECT_EQ(blocks(text, {"INFO", "FLD"}), golden("sorted_excerpt.txt"));
    Names single = headings(dump(dir, true, false, true)).first;
    ASSERT_EQ(single.size(), 136u);
    EXPECT_EQ(single.front() + " " + single.back(), "ALERT UCURID");
}

TEST(SchemaDump, DescriptionsAreWrappedAtTheirWidths) {
    TempDir dir;
    std::string text = dump(dir, false, true, false);
    // TFINF's long table description wraps at 80, column lines at 78; MPJTBL has no table text.
    EXPECT_EQ(blocks(text, {"INFO", "TFINF", "FLD", "RDARES", "MPJTBL"}), golden("descriptions_excerpt.txt"));
}

TEST(SchemaDump, UnwritablePathReportsTheFileErrorAndWritesNothing) {
    TempDir dir;
    std::string path = dir.file("missing/schema.txt");
    EXPECT_EQ(writeRepositorySchemaInfo(path.c_str(), false, false, false), static_cast<unsigned>(NP_FIO_ENOENT));
    EXPECT_FALSE(fileExists(path));
    EXPECT_FALSE(fileExists(dir.file("missing")));
    EXPECT_NE(writeRepositorySchemaInfo(nullptr, false, false, false), 0u);
    // An existing file is replaced, not appended to.
    std::string existing = dir.file("old.txt");
    writeFile(existing, "stale content that must go\r\n");
    ASSERT_EQ(writeRepositorySchemaInfo(existing.c_str(), false, false, false), 0u);
    EXPECT_EQ(readFile(existing).rfind("VELQORIN REPOSITORY SCHEMA", 0), 0u);
}
