// The serialisation context over pugixml. The document:
//
//   <velqorindocument class="ReposMetadataObject" version="1.0">
//     <object type=".." uuid=".." [keycolumn=".." key=".."]>
//       <property name="..">text</property>      null="1" for a null value
//       <list name=".."><object ...>...</object></list>
//     </object>
//     ... then the keyed objects that no list holds
//   </velqorindocument>
//
// A text that XML cannot carry as it is (control characters, invalid UTF-8, blanks only) is
// written in base64: a property's text with encoding="base64", an attribute under its name with
// "64" appended.
#include "vqrepmeta.h"

#include <pugixml.hpp>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "vqbutil.h"

namespace {

const char kRoot[] = "velqorindocument";
const char kClass[] = "ReposMetadataObject";
const char kVersion[] = "1.0";
// Deeper trees are refused both ways: no recursion runs away on a hostile document.
const int kMaxDepth = 256;

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool validUtf8(const std::string& s) {
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra;
        unsigned cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n) return false;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const unsigned kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

// Whether XML carries the text unchanged through our writer and pugixml's default parse.
bool plainText(const std::string& s) {
    bool blanksOnly = !s.empty();
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F) return false;
        if (c != ' ') blanksOnly = false;
    }
    return !blanksOnly && validUtf8(s);
}

void putAttribute(pugi::xml_node node, const char* name, const std::string& value) {
    if (plainText(value) || value.empty()) {
        node.append_attribute(name).set_value(value.c_str());
    } else {
        std::string encoded = std::string(name) + "64";
        node.append_attribute(encoded.c_str()).set_value(vqbBase64Encode(value).c_str());
    }
}

// Null when the node has neither form of the attribute; false for bad base64.
bool getAttribute(pugi::xml_node node, const char* name, VqbString& value) {
    value.setNull();
    if (pugi::xml_attribute plain = node.attribute(name)) {
        value = VqbString(plain.value());
        return true;
    }
    std::string encodedName = std::string(name) + "64";
    pugi::xml_attribute encoded = node.attribute(encodedName.c_str());
    if (!encoded) return true;
    std::string decoded;
    if (!vqbBase64Decode(encoded.value(), decoded)) return false;
    value = VqbString(std::move(decoded));
    return true;
}

// Decimal integer text within 32 bits, optional sign, nothing else.
bool parseInt(const std::string& s, int& value) {
    size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (i == s.size() || s.size() - i > 11) return false;
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9') return false;
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

class MetaObject;

class MetaList : public RepositoryMetadataObjectList {
public:
    explicit MetaList(std::vector<MetaObject*> children) : children_(std::move(children)) {}
    bool next() override { return ++at_ < children_.size(); }
    RepositoryMetadataObject* getCurrent() override;
    void release() override { delete this; }

private:
    ~MetaList() override = default;
    std::vector<MetaObject*> children_;
    size_t at_ = static_cast<size_t>(-1);
};

class MetaObject : public RepositoryMetadataObject {
public:
    MetaObject(const VqbString& type, const VqbString& uuid) : type_(type), uuid_(uuid) {}
    ~MetaObject() override = default;

    struct Property {
        std::string name;
        VqbString value;
    };
    struct List {
        std::string name;
        std::vector<MetaObject*> children;
    };

    void setProperty(const VqbString& name, const VqbString& text) override {
        if (Property* p = find(name.str())) {
            p->value = text;
            return;
        }
        properties_.push_back({name.str(), text});
    }
    bool getProperty(const VqbString& name, VqbString& text) override {
        const Property* p = find(name.str());
        if (!p) return false;
        text = p->value;
        return true;
    }
    bool getIntProperty(const VqbString& name, int& value) override {
        const Property* p = find(name.str());
        return p && !p->value.isNull() && parseInt(p->value.str(), value);
    }
    bool getDoubleProperty(const VqbString& name, double& value) override {
        const Property* p = find(name.str());
        if (!p || p->value.isEmpty()) return false;
        const char* text = p->value.asCstr();
        if (std::isspace(static_cast<unsigned char>(text[0]))) return false;
        char* end = nullptr;
        errno = 0;
        double v = std::strtod(text, &end);
        if (errno || *end || !std::isfinite(v) || std::strlen(text) != p->value.cStrSize()) return false;
        value = v;
        return true;
    }
    bool getBoolProperty(const VqbString& name, bool& flag) override {
        const Property* p = find(name.str());
        if (!p || p->value.isNull()) return false;
        static const char* const kTrue[] = {"1", "true", "y"};
        static const char* const kFalse[] = {"0", "false", "n"};
        for (const char* t : kTrue)
            if (sameName(p->value.str(), t)) return (flag = true);
        for (const char* f : kFalse)
            if (sameName(p->value.str(), f)) return !(flag = false);
        return false;
    }
    bool addChild(const VqbString& listName, RepositoryMetadataObject* child) override {
        if (!child) return false;
        MetaObject* object = static_cast<MetaObject*>(child);
        for (List& list : lists_) {
            if (list.name == listName.str()) {
                list.children.push_back(object);
                ++object->holders_;
                return true;
            }
        }
        lists_.push_back({listName.str(), {object}});
        ++object->holders_;
        return true;
    }
    RepositoryMetadataObjectList* getChildren(const VqbString& listName) override {
        for (const List& list : lists_)
            if (list.name == listName.str()) return new (std::nothrow) MetaList(list.children);
        return nullptr;
    }
    VqbString getUuid() override { return uuid_; }
    void setUuid(const VqbString& uuid) override { uuid_ = uuid; }
    VqbString getTypeName() override { return type_; }

    Property* find(const std::string& name) {
        for (Property& p : properties_)
            if (sameName(p.name, name)) return &p;
        return nullptr;
    }

    VqbString type_;
    VqbString uuid_;
    std::vector<Property> properties_;
    std::vector<List> lists_;
    bool keyed_ = false;
    VqbString keyColumn_;
    VqbString keyValue_;
    int holders_ = 0;  // lists that hold the object
};

RepositoryMetadataObject* MetaList::getCurrent() { return at_ < children_.size() ? children_[at_] : nullptr; }

class MetaContext : public RepositoryMetadataSerializationContext {
public:
    RepositoryMetadataObject* createObject(const VqbString& typeName, const VqbString& uuid) override {
        objects_.push_back(std::make_unique<MetaObject>(typeName, uuid));
        return objects_.back().get();
    }
    RepositoryMetadataObject* createObjectByKey(const VqbString& typeName, const VqbString& keyColumn,
                                               const VqbString& keyValue) override {
        if (parsed_) {
            auto found = parsedKeys_.find(keyOf(typeName, keyColumn, keyValue));
            return found == parsedKeys_.end() ? nullptr : found->second;
        }
        MetaObject* object = static_cast<MetaObject*>(createObject(typeName, VqbString("")));
        registerKey(object, keyColumn, keyValue);
        return object;
    }
    void release() override { delete this; }

    bool serialize(RepositoryMetadataObject* object, VqbString& output, VqbString& error, bool flag) override {
        if (!object) {
            error = VqbString("No object to serialize.");
            return false;
        }
        pugi::xml_document document;
        pugi::xml_node root = document.append_child(kRoot);
        root.append_attribute("class").set_value(kClass);
        root.append_attribute("version").set_value(kVersion);
        if (!path_.isEmpty()) putAttribute(root, "path", path_.str());
        MetaObject* top = static_cast<MetaObject*>(object);
        if (!write(root, top, 0, error)) return false;
        for (MetaObject* keyed : keyed_)
            if (keyed != top && keyed->holders_ == 0 && !write(root, keyed, 0, error)) return false;
        // Written straight into the output's text: a large job's document is not copied on its way.
        struct TextWriter : pugi::xml_writer {
            std::string text;
            void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
        } writer;
        document.save(writer, flag ? "  " : "", flag ? pugi::format_indent : pugi::format_raw, pugi::encoding_utf8);
        output = VqbString(std::move(writer.text));
        return true;
    }

    RepositoryMetadataObject* parse(const VqbString& text, VqbString& error) override {
        clear();
        parsed_ = true;
        pugi::xml_document document;
        pugi::xml_parse_result result = document.load_buffer(text.asCstr(), text.cStrSize(),
                                                             pugi::parse_default, pugi::encoding_utf8);
        if (!result) {
            error = VqbString::format("Unable to parse the serialized object at offset %lld: %s",
                                      static_cast<long long>(result.offset), result.description());
            return nullptr;
        }
        pugi::xml_node root = document.document_element();
        if (std::strcmp(root.name(), kRoot) != 0 || std::strcmp(root.attribute("class").value(), kClass) != 0) {
            error = VqbString("The text is not a serialized repository object.");
            return nullptr;
        }
        if (std::strcmp(root.attribute("version").value(), kVersion) != 0) {
            error = VqbString::format("Unsupported serialized object version \"%s\".",
                                      root.attribute("version").value());
            return nullptr;
        }
        MetaObject* first = nullptr;
        for (pugi::xml_node node : root.children("object")) {
            MetaObject* object = read(node, 0, error);
            if (!object) {
                clear();
                return nullptr;
            }
            if (!first) first = object;
        }
        if (!first) error = VqbString("The serialized text holds no object.");
        return first;
    }

    bool setStringProperty(RepositoryMetadataObject* object, const VqbString& name, const VqbString& text) override {
        if (!object) return false;
        object->setProperty(name, text);
        return true;
    }
    bool setIntProperty(RepositoryMetadataObject* object, const VqbString& name, int value) override {
        return setStringProperty(object, name, VqbString::format("%d", value));
    }
    bool getStringProperty(RepositoryMetadataObject* object, const VqbString& name, VqbString& text) override {
        return object && object->getProperty(name, text);
    }
    bool getIntProperty(RepositoryMetadataObject* object, const VqbString& name, int& value) override {
        return object && object->getIntProperty(name, value);
    }
    void begin() override {
        clear();
        parsed_ = false;
        path_ = VqbString("");
        pathType_ = VqbString("");
        listener_ = nullptr;
    }
    void setObjectPath(const VqbString& path, const VqbString& typeName) override {
        path_ = path;
        pathType_ = typeName;
    }
    void setActionListener(RepositoryActionEvent* listener) override { listener_ = listener; }
    void reportAction(int level, const VqbString& text) override {
        if (listener_) listener_->onActionEvent(level, path_.isEmpty() ? pathType_ : path_, text);
    }
    bool isReporting() const override { return listener_ != nullptr; }

private:
    ~MetaContext() override = default;

    void clear() {
        keyed_.clear();
        parsedKeys_.clear();
        objects_.clear();
    }
    // Type and value as written, the key column in any case.
    static std::string keyOf(const VqbString& typeName, const VqbString& keyColumn, const VqbString& keyValue) {
        std::string key = typeName.str();
        key += '\0';
        for (char c : keyColumn.str()) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        key += '\0';
        return key += keyValue.str();
    }
    void registerKey(MetaObject* object, const VqbString& keyColumn, const VqbString& keyValue) {
        object->keyed_ = true;
        object->keyColumn_ = keyColumn;
        object->keyValue_ = keyValue;
        keyed_.push_back(object);
        // A parsed document answers the first object of a key, in document order.
        if (parsed_) parsedKeys_.emplace(keyOf(object->type_, keyColumn, keyValue), object);
    }

    bool write(pugi::xml_node parent, MetaObject* object, int depth, VqbString& error) {
        if (depth >= kMaxDepth) {
            error = VqbString::format("The object tree is deeper than %d levels.", kMaxDepth);
            return false;
        }
        pugi::xml_node node = parent.append_child("object");
        putAttribute(node, "type", object->type_.str());
        if (!object->uuid_.isNull()) putAttribute(node, "uuid", object->uuid_.str());
        if (object->keyed_) {
            putAttribute(node, "keycolumn", object->keyColumn_.str());
            putAttribute(node, "key", object->keyValue_.str());
        }
        for (const MetaObject::Property& p : object->properties_) {
            pugi::xml_node property = node.append_child("property");
            putAttribute(property, "name", p.name);
            if (p.value.isNull()) {
                property.append_attribute("null").set_value("1");
            } else if (plainText(p.value.str())) {
                property.text().set(p.value.asCstr());
            } else if (!p.value.isEmpty()) {
                property.append_attribute("encoding").set_value("base64");
                property.text().set(vqbBase64Encode(p.value.str()).c_str());
            }
        }
        for (const MetaObject::List& list : object->lists_) {
            pugi::xml_node element = node.append_child("list");
            putAttribute(element, "name", list.name);
            for (MetaObject* child : list.children)
                if (!write(element, child, depth + 1, error)) return false;
        }
        return true;
    }

    MetaObject* read(pugi::xml_node node, int depth, VqbString& error) {
        if (depth >= kMaxDepth) {
            error = VqbString::format("The serialized object is nested deeper than %d levels.", kMaxDepth);
            return nullptr;
        }
        VqbString type, uuid, keyColumn, keyValue;
        if (!getAttribute(node, "type", type) || !getAttribute(node, "uuid", uuid) ||
            !getAttribute(node, "keycolumn", keyColumn) || !getAttribute(node, "key", keyValue))
            return badText(node, error);
        if (type.isNull()) {
            error = VqbString::format("An object without a type at offset %lld.",
                                      static_cast<long long>(node.offset_debug()));
            return nullptr;
        }
        MetaObject* object = static_cast<MetaObject*>(createObject(type, uuid));
        if (!keyColumn.isNull()) registerKey(object, keyColumn, keyValue.isNull() ? VqbString("") : keyValue);
        for (pugi::xml_node child : node.children()) {
            if (std::strcmp(child.name(), "property") == 0) {
                VqbString name;
                if (!getAttribute(child, "name", name) || name.isNull()) return badText(child, error);
                // Ids of earlier imports are bookkeeping of that import: a document never dictates them.
                if (sameName(name.str(), "TARGETID") || sameName(name.str(), "TARGETUUID")) continue;
                VqbString value("");
                if (child.attribute("null").as_bool()) {
                    value.setNull();
                } else if (std::strcmp(child.attribute("encoding").value(), "base64") == 0) {
                    std::string decoded;
                    if (!vqbBase64Decode(child.text().get(), decoded)) return badText(child, error);
                    value = VqbString(std::move(decoded));
                } else {
                    value = VqbString(child.text().get());
                }
                object->setProperty(name, value);
            } else if (std::strcmp(child.name(), "list") == 0) {
                VqbString name;
                if (!getAttribute(child, "name", name) || name.isNull()) return badText(child, error);
                bool any = false;
                for (pugi::xml_node item : child.children("object")) {
                    MetaObject* member = read(item, depth + 1, error);
                    if (!member) return nullptr;
                    object->addChild(name, member);
                    any = true;
                }
                if (!any) object->lists_.push_back({name.str(), {}});
            }
        }
        return object;
    }

    MetaObject* badText(pugi::xml_node node, VqbString& error) {
        error = VqbString::format("Invalid encoded text in the serialized object at offset %lld.",
                                  static_cast<long long>(node.offset_debug()));
        return nullptr;
    }

    std::vector<std::unique_ptr<MetaObject>> objects_;
    std::vector<MetaObject*> keyed_;  // in registration (document) order
    std::unordered_map<std::string, MetaObject*> parsedKeys_;
    bool parsed_ = false;
    VqbString path_{""};
    VqbString pathType_{""};
    RepositoryActionEvent* listener_ = nullptr;
};

bool invalidNameChar(unsigned char c) { return c == '/' || c == '\\' || c < 0x20 || c == 0x7F; }

}  // namespace

RepositoryMetadataSerializationContext* createRepositoryMetadataSerializationContext() {
    return new (std::nothrow) MetaContext();
}

bool isInvalidCharInName(const VqbString& name) {
    for (unsigned char c : name.str())
        if (invalidNameChar(c)) return true;
    return false;
}

bool getNormalizedNameValue(const VqbString& name, VqbString& normalized) {
    std::string text = name.str();
    bool changed = false;
    for (char& c : text) {
        if (invalidNameChar(static_cast<unsigned char>(c))) {
            c = '_';
            changed = true;
        }
    }
    if (changed) normalized = VqbString(std::move(text));
    return changed;
}
