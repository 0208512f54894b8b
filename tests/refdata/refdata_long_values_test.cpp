// Reference-data filters on values long enough to be kept as big strings: lists find their rows
// and filtered deletes remove exactly them, in each place a repository lives.
#include <string>

#include "refdata_fixture.h"

namespace {

class RefDataLongValues : public RefDataTest {};

std::string twoByte(int characters) {
    std::string text;
    for (int i = 0; i < characters; ++i) text += "\xC3\xA9";
    return text;
}

}  // namespace

TEST_P(RefDataLongValues, FiltersOnLongValuesListAndDeleteExactlyTheirRows) {
    RefDataRepositoryDataAccess* r = rda_.get();
    const std::string values[] = {std::string(255, 'v'), std::string(256, 'w'), twoByte(150), twoByte(150) + "x",
                                  std::string(10000, 'y')};
    for (const std::string& value : values) {
        uint32_t id = kNone;
        ASSERT_TRUE(r->addItem("K", value, "Y", "", "", -1, &id));
    }
    ASSERT_TRUE(r->addItem("K", "short", "Y", "", "", -1, nullptr));
    const int chunks = count("BIGSTR");
    for (const std::string& value : values) {
        SCOPED_TRACE(value.size());
        Rows listed = take(r->listItems(kNone, "", value, "", "", "", kNone));
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_TRUE(listed[0][2] == value);
    }
    EXPECT_EQ(count("BIGSTR"), chunks);
    int left = count("RDDOIT");
    for (const std::string& value : values) {
        SCOPED_TRACE(value.size());
        ASSERT_TRUE(r->deleteItems(kNone, "", value, "", "", "", kNone));
        EXPECT_EQ(count("RDDOIT"), --left);
        EXPECT_EQ(take(r->listItems(kNone, "", value, "", "", "", kNone)).size(), 0u);
    }
    EXPECT_EQ(count("BIGSTR"), chunks);
    EXPECT_EQ(take(r->listItems(kNone, "", "short", "", "", "", kNone)).size(), 1u);
}

REPOS_EVERY_PLACE(RefDataLongValues);
