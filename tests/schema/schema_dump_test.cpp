// The schema text dump, checked against hand-made excerpts and for its structure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "np_fio.h"
#include "repos_schema.h"
#include "test_support.h"

namespace {

struct Heading {
    std::string table;
    std::string label;
};

std::string dump(const TempDir& dir, bool sortByName, bool withDescriptions, bool singleGroup) {
    std::string path = dir.file("schema.txt");
    EXPECT_EQ(writeRepositorySchemaInfo(path.c_str(), sortByName, withDescriptions, singleGroup), 0u);
    return readFile(path);
}

std::vector<Heading> headings(const std::string& text) {
    std::vector<Heading> out;
    for (size_t pos = text.find("TABLE: "); pos != std::string::npos; pos = text.find("\r\nTABLE: ", pos)) {
        if (text.compare(pos, 2, "\r\n") == 0) pos += 2;
        size_t open = text.find(" (", pos);
        size_t close = text.find(")\r\n", open);
        out.push_back({text.substr(pos + 7, open - pos - 7), text.substr(open + 2, close - open - 2)});
        pos = close;
    }
    return out;
}

// The block of one table: its heading line up to the next heading (or the end).
std::string block(const std::string& text, const std::string& table) {
    std::string heading = "\r\nTABLE: " + table + " (";
    size_t start = text.find(heading);
    if (start == std::string::npos) return "";
    start += 2;
    size_t end = text.find("\r\nTABLE: ", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end + 2 - start);
}

std::string golden(const char* name) {
    const char* root = std::getenv("REPOS_SOURCE_DIR");
    std::string path = std::string(root ? root : ".") + "/tests/schema/golden/" + name;
    std::string text = readFile(path);
    EXPECT_FALSE(text.empty()) << "missing golden file " << path;
    return text;
}

std::vector<std::string> names(const std::vector<Heading>& list, size_t from, size_t count) {
    std::vector<std::string> out;
    for (size_t i = from; i < from + count && i < list.size(); ++i) out.push_back(list[i].table);
    return out;
}

bool allLinesEndInCrLf(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    }
    return !text.empty() && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

}  // namespace

TEST(SchemaDump, PlainDumpGroupsTablesByProduct) {
    TempDir dir;
    std::string text = dump(dir, false, false, false);
    ASSERT_EQ(text.rfind("VELQORIN REPOSITORY SCHEMA - VERSION 8\r\n\r\nTABLE: JOB (Profile)\r\n", 0), 0u);
    EXPECT_TRUE(allLinesEndInCrLf(text));

    std::vector<Heading> list = headings(text);
    ASSERT_EQ(list.size(), 136u);
    // Profile 53 + RDARES, Monitor 29, Explorer 28, NCOA 9, Repository 16.
    for (size_t i = 0; i < 54; ++i)
        EXPECT_EQ(list[i].label, list[i].table == "RDARES" ? "Repository" : "Profile") << list[i].table;
    EXPECT_EQ(names(list, 32, 3), (std::vector<std::string>{"FLDRDA", "RDARES", "FLDGCM"}));
    EXPECT_EQ(list[53].table, "JFRDA");
    for (size_t i = 54; i < 83; ++i) EXPECT_EQ(list[i].label, "Monitor") << list[i].table;
    EXPECT_EQ(list[54].table, "RULE");
    EXPECT_EQ(list[82].table, "THRHLD");
    for (size_t i = 83; i < 111; ++i) EXPECT_EQ(list[i].label, "Explorer") << list[i].table;
    EXPECT_EQ(names(list, 111, 9), (std::vector<std::string>{"NCOALO", "NCOAPO", "NCOALI", "NCOAPL", "NCOABR",
                                                              "NCOAPB", "NCOAPA", "NCOAEX", "NCOAED"}));
    for (size_t i = 111; i < 120; ++i) EXPECT_EQ(list[i].label, "NCOA");
    EXPECT_EQ(names(list, 120, 16),
              (std::vector<std::string>{"INFO", "INFOPR", "KEYVAL", "UCURID", "GCATS", "GCDEF", "GCFLD", "GCRUL",
                                        "FLDMAP", "MAPCON", "FOLDER", "OBJLCK", "IMPRCS", "IMPDEP", "IMPPRP",
                                        "REVENT"}));
    for (size_t i = 120; i < 136; ++i) EXPECT_EQ(list[i].label, "Repository");

    // The short NCOAEX is listed, never the extended one.
    EXPECT_EQ(block(text, "NCOAEX").find("PAFNCOA"), std::string::npos);
    EXPECT_EQ(block(text, "INFO") + block(text, "FLD") + block(text, "RDARES") + block(text, "NCOAED"),
              golden("plain_excerpt.txt"));
}

TEST(SchemaDump, SingleGroupKeepsCatalogueOrderAndLabels) {
    TempDir dir;
    std::vector<Heading> list = headings(dump(dir, false, false, true));
    ASSERT_EQ(list.size(), 136u);
    EXPECT_EQ(names(list, 0, 4), (std::vector<std::string>{"INFO", "INFOPR", "KEYVAL", "UCURID"}));
    EXPECT_EQ(list[0].label, "Repository");
    EXPECT_EQ(list[10].table, "JOB");
    EXPECT_EQ(list[10].label, "Profile");
    EXPECT_EQ(list[126].table, "REVENT");
    for (size_t i = 127; i < 136; ++i) EXPECT_EQ(list[i].label, "NCOA") << list[i].table;
    EXPECT_EQ(list[135].table, "NCOAED");
}

TEST(SchemaDump, SortingOrdersTablesWithinGroupsAndColumnsWithinTables) {
    TempDir dir;
    std::string text = dump(dir, true, false, false);
    std::vector<Heading> list = headings(text);
    ASSERT_EQ(list.size(), 136u);
    auto sortedRange = [&](size_t from, size_t to) {
        for (size_t i = from + 1; i < to; ++i) EXPECT_LT(list[i - 1].table, list[i].table);
    };
    sortedRange(0, 54);
    sortedRange(54, 83);
    sortedRange(83, 111);
    sortedRange(111, 120);
    sortedRange(120, 136);
    EXPECT_EQ(list[0].table, "ALERT");
    EXPECT_EQ(list[111].table, "NCOABR");
    EXPECT_EQ(list[120].table, "FLDMAP");
    // The metric placeholder has no name, so it sorts first.
    EXPECT_EQ(block(text, "INFO") + block(text, "FLD"), golden("sorted_excerpt.txt"));

    std::vector<Heading> single = headings(dump(dir, true, false, true));
    ASSERT_EQ(single.size(), 136u);
    EXPECT_EQ(single.front().table, "ALERT");
    EXPECT_EQ(single.back().table, "UCURID");
}

TEST(SchemaDump, DescriptionsAreWrappedAtTheirWidths) {
    TempDir dir;
    std::string text = dump(dir, false, true, false);
    EXPECT_TRUE(allLinesEndInCrLf(text));
    EXPECT_EQ(headings(text).size(), 136u);
    // TFINF's long table description wraps at 80, column lines at 78; MPJTBL has no table text.
    EXPECT_EQ(block(text, "INFO") + block(text, "TFINF") + block(text, "FLD") + block(text, "RDARES") +
                  block(text, "MPJTBL"),
              golden("descriptions_excerpt.txt"));
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
