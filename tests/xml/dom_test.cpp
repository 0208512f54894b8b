// The document model: reading element trees, building and writing documents.
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

TEST(XmlDom, WalksElementsOnlyAndReadsTextAsWritten) {
    VqDom dom;
    ASSERT_TRUE(dom.loadXML(
        "<?xml version=\"1.0\"?>\n<!-- c --><Root a=\"1\" b=\"x &amp; y\">\n  <!-- note -->\n  <?pi data?>\n"
        "  <one>text <![CDATA[<raw>]]> tail</one>\n  text between\n  <two> </two><three/>\n</Root>"));
    VqDomNode root = dom.getRoot();
    ASSERT_FALSE(root.null());
    EXPECT_EQ(root.getName().str(), "Root");
    EXPECT_EQ(names(root), "one;two;three;");
    EXPECT_EQ(root.getAttributeValue("b").str(), "x & y");
    EXPECT_EQ(root.getAttributeValue("A").str(), "");  // attribute names are exact
    EXPECT_TRUE(root.getAttributeValue("missing").isEmpty());
    VqDomNode one = root.getFirstChild();
    EXPECT_EQ(one.getValue().str(), "text <raw> tail");
    EXPECT_EQ(one.getNextSibling().getValue().str(), " ");  // a lone blank is a value
    EXPECT_EQ(one.getNextSibling().getNextSibling().getValue().str(), "");
    EXPECT_TRUE(one.getNextSibling().getNextSibling().getNextSibling().null());
}

TEST(XmlDom, NullNodesAndEmptyDocumentsAnswerEmpty) {
    VqDomNode none;
    EXPECT_TRUE(none.null() && none.getFirstChild().null() && none.getNextSibling().null());
    EXPECT_TRUE(none.getName().isEmpty() && none.getValue().isEmpty() && none.getAttributeValue("a").isEmpty());
    EXPECT_TRUE(none.addChild("x").null());
    EXPECT_FALSE(none.setValue("v") || none.setAttributeValue("a", "v"));
    VqDom dom;
    EXPECT_TRUE(dom.getRoot().null());
    // A new document replaces the loaded one; one without a name is none.
    ASSERT_TRUE(dom.loadXML("<old><a/></old>"));
    VqDomNode root = dom.startNewDocument("new");
    EXPECT_EQ(dom.getRoot().getName().str(), "new");
    EXPECT_TRUE(root.getFirstChild().null());
    EXPECT_TRUE(dom.startNewDocument("").null());
    EXPECT_TRUE(dom.getRoot().null());
}

TEST(XmlDom, LoadFailuresTellWhy) {
    TempDir dir;
    VqDom dom;
    ASSERT_TRUE(dom.loadXML("<a/>"));
    EXPECT_FALSE(dom.loadXML("<a><b></a>"));
    EXPECT_NE(dom.getErrorMessage().str().find("not well formed"), std::string::npos) << dom.getErrorMessage().str();
    EXPECT_TRUE(dom.getRoot().null());  // a failed load leaves nothing of the earlier document

    EXPECT_FALSE(dom.loadFile(VqbString(dir.file("absent.xml"))));
    EXPECT_NE(dom.getErrorMessage().str().find("absent.xml"), std::string::npos);
    writeFile(dir.file("bad.xml"), "<root attr=\"unclosed></root>");
    EXPECT_FALSE(dom.loadFile(VqbString(dir.file("bad.xml"))));
    EXPECT_NE(dom.getErrorMessage().str().find("bad.xml"), std::string::npos);
    EXPECT_NE(dom.getErrorMessage().str().find("offset"), std::string::npos);

    EXPECT_FALSE(dom.loadXML(""));
    EXPECT_FALSE(dom.getErrorMessage().isEmpty());
}

TEST(XmlDom, BuiltDocumentRoundTripsThroughAFile) {
    TempDir dir;
    VqDom dom;
    VqDomNode root = dom.startNewDocument("vqTable");
    ASSERT_FALSE(root.null());
    ASSERT_TRUE(root.addChild("table_name").setValue("FRQDST12 <&> \"q\""));
    VqDomNode fields = root.addChild("fields");
    VqDomNode field = fields.addChild("field");
    ASSERT_TRUE(field.setAttributeValue("name", "FR_VAL"));
    ASSERT_TRUE(field.setAttributeValue("len", "255"));
    ASSERT_TRUE(field.setAttributeValue("len", "30"));  // replaces
    VqDomNode value = root.addChild("data").addChild("row").addChild("value");
    ASSERT_TRUE(value.setValue("x"));
    ASSERT_TRUE(value.setValue(""));  // empty text written as an empty element
    ASSERT_TRUE(value.setAttributeValue("is_null", "1"));
    EXPECT_TRUE(root.addChild("").null());

    for (bool formatted : {true, false}) {
        const std::string path = dir.file(formatted ? "f.xml" : "r.xml");
        ASSERT_TRUE(dom.createFile(VqbString(path), formatted)) << dom.getErrorMessage().str();
        EXPECT_EQ(readFile(path).rfind("<?xml", 0), 0u);
        VqDom back;
        ASSERT_TRUE(back.loadFile(VqbString(path))) << back.getErrorMessage().str();
        VqDomNode r = back.getRoot();
        EXPECT_EQ(names(r), "table_name;fields;data;");
        EXPECT_EQ(r.getFirstChild().getValue().str(), "FRQDST12 <&> \"q\"");
        VqDomNode f = r.getFirstChild().getNextSibling().getFirstChild();
        EXPECT_EQ(f.getAttributeValue("name").str() + " " + f.getAttributeValue("len").str(), "FR_VAL 30");
        VqDomNode v = r.getFirstChild().getNextSibling().getNextSibling().getFirstChild().getFirstChild();
        EXPECT_EQ(v.getAttributeValue("is_null").str() + "[" + v.getValue().str() + "]", "1[]");
    }

    // A subtree alone.
    ASSERT_TRUE(dom.createFile(VqbString(dir.file("sub.xml")), true, fields));
    VqDom sub;
    ASSERT_TRUE(sub.loadFile(VqbString(dir.file("sub.xml"))));
    EXPECT_EQ(sub.getRoot().getName().str(), "fields");

    EXPECT_FALSE(dom.createFile(VqbString(dir.file("no/such/dir/x.xml")), true));
    EXPECT_NE(dom.getErrorMessage().str().find("x.xml"), std::string::npos);
}
