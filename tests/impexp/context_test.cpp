// The serialisation context on its own: trees of hostile texts survive serialize and parse
// exactly, damaged documents give an error and nothing else, typed getters refuse what they
// cannot read.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "repos_held.h"
#include "vqrepmeta.h"

namespace {

using Text = std::optional<std::string>;  // nullopt: a null value

struct Node {
    std::string type;
    std::string uuid;
    std::vector<std::pair<std::string, Text>> properties;
    std::vector<std::pair<std::string, std::vector<Node>>> lists;
};

const std::vector<Text> kValues = {
    std::string(""), std::nullopt, std::string(" "), std::string("  lead and trail  "), std::string("a\rb"),
    std::string("a\r\nb\n"), std::string("\t"), std::string("]]>"), std::string("<&>\"' &amp;"),
    std::string("\x01\x02\x1f\x7f"), std::string("\xff\xfe"), std::string("\xc3\x28 broken"),
    std::string("\xed\xa0\x80 surrogate"), std::string("é € \xf0\x9f\x98\x80"), std::string("a\0b", 3),
    std::string(5000, 'x'), std::string("0"),
};
const std::vector<std::string> kNames = {"RU_ID", "na\x01me", "a b", "ü", "<&>", "x\ry", "\xff", "TARGETIDS"};

Node makeTree(std::mt19937& random, int depth) {
    Node node;
    node.type = depth == 0 ? "Rule" : kNames[random() % kNames.size()] + std::to_string(depth);
    node.uuid = depth % 2 ? "" : "uuid-\x02-" + std::to_string(random() % 1000);
    for (size_t i = 0; i < kNames.size(); ++i)
        if (random() % 3) node.properties.push_back({kNames[i], kValues[random() % kValues.size()]});
    if (depth < 3) {
        node.lists.push_back({"Fields", {}});
        node.lists.push_back({"Empty\x03", {}});
        for (int i = 0, n = static_cast<int>(random() % 4); i < n; ++i)
            node.lists[0].second.push_back(makeTree(random, depth + 1));
    }
    return node;
}

RepositoryMetadataObject* build(RepositoryMetadataSerializationContext* context, const Node& node) {
    RepositoryMetadataObject* object = context->createObject(VqbString(node.type), VqbString(node.uuid));
    for (const auto& p : node.properties)
        object->setProperty(VqbString(p.first), p.second ? VqbString(*p.second) : VqbString());
    for (const auto& list : node.lists)
        for (const Node& child : list.second) object->addChild(VqbString(list.first), build(context, child));
    return object;
}

void expectSame(RepositoryMetadataObject* object, const Node& node, const std::string& where) {
    ASSERT_NE(object, nullptr) << where;
    EXPECT_EQ(object->getTypeName().str(), node.type) << where;
    EXPECT_EQ(object->getUuid().str(), node.uuid) << where;
    for (const auto& p : node.properties) {
        VqbString value("unset");
        ASSERT_TRUE(object->getProperty(VqbString(p.first), value)) << where << " " << p.first;
        EXPECT_EQ(value.isNull(), !p.second) << where << " " << p.first;
        if (p.second) {
            EXPECT_EQ(value.str(), *p.second) << where << " " << p.first;
        }
    }
    for (const auto& list : node.lists) {
        if (list.second.empty()) continue;
        ReposHeld<RepositoryMetadataObjectList> children(object->getChildren(VqbString(list.first)));
        ASSERT_NE(children, nullptr) << where << " " << list.first;
        for (size_t i = 0; i < list.second.size(); ++i) {
            ASSERT_TRUE(children->next()) << where;
            expectSame(children->getCurrent(), list.second[i], where + "/" + std::to_string(i));
        }
        EXPECT_FALSE(children->next()) << where;
    }
}

struct Context {
    RepositoryMetadataSerializationContext* context = createRepositoryMetadataSerializationContext();
    ~Context() { context->release(); }
    std::string serialize(RepositoryMetadataObject* object, bool indented) {
        VqbString out, error;
        EXPECT_TRUE(context->serialize(object, out, error, indented)) << error.str();
        return out.str();
    }
};

}  // namespace

TEST(MetadataContext, GeneratedTreesComeBackExactly) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        Context c;
        Node tree = makeTree(random, 0);
        RepositoryMetadataObject* root = build(c.context, tree);
        // Keyed, held by no list: written after the root and found by its key after parsing.
        RepositoryMetadataObject* keyed = c.context->createObjectByKey("CustomMetric", "CM_ID", "\x01 7");
        keyed->setProperty("CM_DESC", VqbString());
        const bool indented = round % 2;
        std::string text = c.serialize(root, indented);
        VqbString error;
        RepositoryMetadataObject* parsed = c.context->parse(VqbString(text), error);
        expectSame(parsed, tree, "round " + std::to_string(round));
        EXPECT_EQ(c.serialize(parsed, indented), text) << "serializing the parsed tree";
        RepositoryMetadataObject* found = c.context->createObjectByKey("CustomMetric", "cm_id", "\x01 7");
        ASSERT_NE(found, nullptr);
        VqbString desc("unset");
        EXPECT_TRUE(found->getProperty("cm_desc", desc) && desc.isNull());
        EXPECT_EQ(c.context->createObjectByKey("CustomMetric", "CM_ID", "7"), nullptr);
    }
}

// After parsing, a key names the first object of that type, key column (any case) and value in
// document order, however many keyed objects the document holds.
TEST(MetadataContext, ParsedKeysFindTheFirstOfTheirTypeAndValue) {
    Context c;
    RepositoryMetadataObject* root = c.context->createObject("ProfileJob", "u");
    for (int i = 0; i < 3000; ++i) {
        RepositoryMetadataObject* field = c.context->createObjectByKey("Field", "FLD_ID", std::to_string(i % 1500).c_str());
        field->setProperty("N", std::to_string(i).c_str());
        root->addChild("Fields", field);
    }
    c.context->createObjectByKey("Table", "FLD_ID", "7")->setProperty("N", "table");
    VqbString error;
    ASSERT_NE(c.context->parse(VqbString(c.serialize(root, false)), error), nullptr) << error.str();
    struct Case {
        const char* type;
        const char* column;
        const char* value;
        const char* n;  // null: none
    };
    for (const Case& k : std::vector<Case>{{"Field", "FLD_ID", "7", "7"},
                                           {"Field", "fld_id", "1499", "1499"},
                                           {"Table", "FLD_ID", "7", "table"},
                                           {"Field", "FLD_ID", "1500", nullptr},
                                           {"field", "FLD_ID", "7", nullptr},
                                           {"Field", "TBL_ID", "7", nullptr}}) {
        RepositoryMetadataObject* found = c.context->createObjectByKey(k.type, k.column, k.value);
        VqbString n;
        EXPECT_EQ(found && found->getProperty("N", n) ? n.str() : "none", k.n ? k.n : "none")
            << k.type << " " << k.column << "=" << k.value;
    }
}

TEST(MetadataContext, ImportBookkeepingIsNeverRead) {
    Context c;
    RepositoryMetadataObject* root = c.context->createObject("Rule", "u");
    c.context->setIntProperty(root, "TARGETID", 5);
    c.context->setStringProperty(root, "TargetUuid", "x");
    std::string text = c.serialize(root, false);
    EXPECT_NE(text.find("TARGETID"), std::string::npos) << "written as any property";
    VqbString error, value;
    RepositoryMetadataObject* parsed = c.context->parse(VqbString(text), error);
    ASSERT_NE(parsed, nullptr) << error.str();
    int id = -1;
    EXPECT_FALSE(c.context->getIntProperty(parsed, "TARGETID", id));
    EXPECT_FALSE(c.context->getStringProperty(parsed, "TARGETUUID", value));
    c.context->setIntProperty(parsed, "targetid", 9);
    EXPECT_TRUE(c.context->getIntProperty(parsed, "TARGETID", id) && id == 9);
}

TEST(MetadataContext, DamagedDocumentsGiveAnErrorAndNoObjects) {
    std::mt19937 random(11);
    Context c;
    Node tree = makeTree(random, 0);
    RepositoryMetadataObject* root = build(c.context, tree);
    c.context->createObjectByKey("Rule", "RU_ID", "1");
    const std::string text = c.serialize(root, true);
    auto parse = [&](const std::string& damaged) {
        VqbString error("");
        RepositoryMetadataObject* object = c.context->parse(VqbString(damaged), error);
        if (!object) {
            EXPECT_FALSE(error.isEmpty());
            EXPECT_EQ(c.context->createObjectByKey("Rule", "RU_ID", "1"), nullptr) << "objects left by a failed parse";
        }
        return object != nullptr;
    };
    for (size_t cut = 0; cut < text.size(); cut += 1 + text.size() / 500) parse(text.substr(0, cut));
    for (int flip = 0; flip < 3000; ++flip) {
        std::string damaged = text;
        damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
        parse(damaged);
    }
    const std::string head = "<velqorindocument class=\"ReposMetadataObject\" version=\"1.0\">";
    std::string deep = head;
    for (int i = 0; i < 100000; ++i) deep += "<object type=\"x\"><list name=\"l\">";
    EXPECT_FALSE(parse(deep + "</velqorindocument>"));
    struct Bad {
        std::string text;
        const char* says;
    };
    for (const Bad& bad : std::vector<Bad>{
             {"<other class=\"ReposMetadataObject\" version=\"1.0\"><object type=\"Rule\"/></other>", "not a serialized"},
             {"<velqorindocument class=\"ReposMetadataObject\" version=\"2.0\"><object type=\"Rule\"/></velqorindocument>",
              "version"},
             {head + "</velqorindocument>", "no object"},
             {head + "<object uuid=\"u\"/></velqorindocument>", "without a type"},
             {head + "<object type=\"R\"><property name=\"A\" encoding=\"base64\">%%%</property></object></velqorindocument>",
              "Invalid encoded"},
             {"", "parse"}}) {
        VqbString error;
        EXPECT_EQ(c.context->parse(VqbString(bad.text), error), nullptr) << bad.text;
        EXPECT_NE(error.str().find(bad.says), std::string::npos) << error.str();
    }
}

TEST(MetadataContext, TypedGettersRefuseWhatTheyCannotRead) {
    Context c;
    RepositoryMetadataObject* o = c.context->createObject("T", "");
    struct Case {
        const char* text;
        Text asInt, asBool, asDouble;  // expected, as text; nullopt: absent
    };
    const std::vector<Case> cases = {
        {"12", std::string("12"), std::nullopt, std::string("12")},
        {"-2147483648", std::string("-2147483648"), std::nullopt, std::string("-2147483648")},
        {"2147483648", std::nullopt, std::nullopt, std::string("2147483648")},
        {"99999999999999999999", std::nullopt, std::nullopt, std::string("1e+20")},
        {" 1", std::nullopt, std::nullopt, std::nullopt},
        {"1x", std::nullopt, std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt, std::nullopt},
        {"1", std::string("1"), std::string("1"), std::string("1")},
        {"0", std::string("0"), std::string("0"), std::string("0")},
        {"tRuE", std::nullopt, std::string("1"), std::nullopt},
        {"n", std::nullopt, std::string("0"), std::nullopt},
        {"yes", std::nullopt, std::nullopt, std::nullopt},
        {"nan", std::nullopt, std::nullopt, std::nullopt},
        {"4.5", std::nullopt, std::nullopt, std::string("4.5")},
    };
    for (const Case& k : cases) {
        o->setProperty("v", k.text);
        int i = -7;
        bool b = false;
        double d = -7;
        Text gotInt = o->getIntProperty("V", i) ? Text(std::to_string(i)) : std::nullopt;
        Text gotBool = o->getBoolProperty("V", b) ? Text(b ? "1" : "0") : std::nullopt;
        Text gotDouble;
        if (o->getDoubleProperty("V", d)) {
            char buffer[32];
            snprintf(buffer, sizeof buffer, "%.10g", d);
            gotDouble = buffer;
        }
        EXPECT_EQ(gotInt, k.asInt) << k.text;
        EXPECT_EQ(gotBool, k.asBool) << k.text;
        EXPECT_EQ(gotDouble, k.asDouble) << k.text;
    }
    o->setProperty("v", VqbString());
    int i = 0;
    EXPECT_FALSE(o->getIntProperty("v", i)) << "a null value is absent";
}

TEST(MetadataContext, NamesAreNormalisedOnlyWhenTheyMustBe) {
    struct Case {
        std::string name;
        bool invalid;
        std::string normalised;
    };
    for (const Case& k : std::vector<Case>{{"plain name", false, ""},
                                           {"a/b\\c", true, "a_b_c"},
                                           {"tab\there\x7f", true, "tab_here_"},
                                           {"é€", false, ""}}) {
        VqbString out("unchanged");
        EXPECT_EQ(isInvalidCharInName(VqbString(k.name)), k.invalid) << k.name;
        EXPECT_EQ(getNormalizedNameValue(VqbString(k.name), out), k.invalid) << k.name;
        EXPECT_EQ(out.str(), k.invalid ? k.normalised : "unchanged") << k.name;
    }
}
