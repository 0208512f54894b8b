#include "refdata_fixture.h"

#include <cstdlib>
#include <regex>

std::string refdataSpec() {
    const char* root = std::getenv("REPOS_SOURCE_DIR");
    std::string text = readFile(std::string(root ? root : ".") + "/etc/reposcreate/refdata.xml");
    EXPECT_FALSE(text.empty()) << "missing etc/reposcreate/refdata.xml";
    return text;
}

void RefDataTest::SetUp() {
    RepositoryTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    writeFile(specDir_.file("refdata.xml"), refdataSpec());
    ASSERT_TRUE(create()) << error().str();
    reopen();
}

void RefDataTest::reopen() {
    rda_.reset();
    repository_.reset(open());
    ASSERT_NE(repository_, nullptr) << error().str();
    rda_.reset(repository_->createRefDataRepositoryDataAccess());
    ASSERT_NE(rda_, nullptr);
}

void RefDataTest::TearDown() {
    rda_.reset();
    repository_.reset();
    RepositoryTest::TearDown();
}

Rows RefDataTest::raw(const std::string& sql) {
    static const std::regex braces("\\{([A-Z]+)\\}");
    std::string expanded;
    auto last = sql.cbegin();
    for (std::sregex_iterator it(sql.begin(), sql.end(), braces), end; it != end; ++it) {
        expanded.append(last, sql.cbegin() + it->position());
        expanded += t((*it)[1].str().c_str());
        last = sql.cbegin() + it->position() + it->length();
    }
    expanded.append(last, sql.cend());
    return rows(expanded);
}
