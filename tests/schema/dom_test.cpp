// The document model built in code and written out; reading is proven through the spec readers.
#include <gtest/gtest.h>

#include "vqdom.h"
#include "xml_test_util.h"

namespace {

std::string names(VqDomNode parent) {
    std::string out;
    for (VqDomNode n = parent.getFirstChild(); !n.null(); n = n.getNextSibling()) out += n.getName().str() + ";";
    return out;
}

}  // namespace

TEST(XmlDom, BuiltDocumentRoundTripsThroughAFile) {
    TempDir dir;
    VqDom dom;
    EXPECT_TRUE(dom.startNewDocument("").null());
    VqDomNode root = dom.startNewDocument("vqTable");
    ASSERT_TRUE(root.addChild("table_name").setValue("FRQDST12 <&> \"q\""));
    VqDomNode field = root.addChild("fields").addChild("field");
    ASSERT_TRUE(field.setAttributeValue("len", "255") && field.setAttributeValue("len", "30"));  // replaces
    VqDomNode value = root.addChild("value");
    ASSERT_TRUE(value.setValue("x") && value.setValue(""));  // empty text written as an empty element
    EXPECT_TRUE(root.addChild("").null());

    for (bool formatted : {true, false}) {
        const std::string path = dir.file(formatted ? "f.xml" : "r.xml");
        ASSERT_TRUE(dom.createFile(VqbString(path), formatted)) << dom.getErrorMessage().str();
        VqDom back;
        ASSERT_TRUE(back.loadFile(VqbString(path))) << back.getErrorMessage().str();
        VqDomNode r = back.getRoot();
        EXPECT_EQ(names(r), "table_name;fields;value;");
        EXPECT_EQ(r.getFirstChild().getValue().str(), "FRQDST12 <&> \"q\"");
        EXPECT_EQ(r.getFirstChild().getNextSibling().getFirstChild().getAttributeValue("len").str(), "30");
    }
    ASSERT_TRUE(dom.createFile(VqbString(dir.file("sub.xml")), true, field));  // a subtree alone
    VqDom sub;
    ASSERT_TRUE(sub.loadFile(VqbString(dir.file("sub.xml"))));
    EXPECT_EQ(sub.getRoot().getName().str(), "field");
    EXPECT_FALSE(dom.createFile(VqbString(dir.file("no/such/dir/x.xml")), true));
    EXPECT_NE(dom.getErrorMessage().str().find("x.xml"), std::string::npos);
}
