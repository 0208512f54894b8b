#include "vqdom.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <pugixml.hpp>
#include <string>

namespace {

// Keep a lone whitespace text ("<value> </value>"), drop the layout between elements.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

pugi::xml_node asNode(void* node) { return pugi::xml_node(static_cast<pugi::xml_node_struct*>(node)); }

pugi::xml_node elementFrom(pugi::xml_node node) {
    while (node && node.type() != pugi::node_element) node = node.next_sibling();
    return node;
}

// A carriage return written as itself reads back as a line feed, so it goes out as its character
// reference. Only text can hold one here: attributes are written with the reference already, and
// a parsed document has none left.
struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override {
        const char* bytes = static_cast<const char*>(data);
        for (const char* cr; size > 0 && (cr = static_cast<const char*>(std::memchr(bytes, '\r', size)));) {
            text.append(bytes, cr - bytes).append("&#13;");
            size -= cr - bytes + 1;
            bytes = cr + 1;
        }
        text.append(bytes, size);
    }
};

}  // namespace

struct VqDom::Doc {
    pugi::xml_document doc;
};

VqbString VqDomNode::getName() const { return VqbString(asNode(node_).name()); }

VqbString VqDomNode::getValue() const {
    VqbString out("");
    for (pugi::xml_node child = asNode(node_).first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) out.append(child.value());
    return out;
}

VqbString VqDomNode::getAttributeValue(const char* name) const {
    if (name == nullptr) return VqbString("");
    return VqbString(asNode(node_).attribute(name).value());
}

VqDomNode VqDomNode::getFirstChild() const {
    return VqDomNode(elementFrom(asNode(node_).first_child()).internal_object());
}

VqDomNode VqDomNode::getNextSibling() const {
    return VqDomNode(elementFrom(asNode(node_).next_sibling()).internal_object());
}

VqDomNode VqDomNode::addChild(const char* name) {
    if (null() || name == nullptr || *name == '\0') return VqDomNode();
    pugi::xml_node child = asNode(node_).append_child(name);
    return VqDomNode(child.internal_object());
}

bool VqDomNode::setValue(const VqbString& text) {
    pugi::xml_node node = asNode(node_);
    if (!node) return false;
    for (pugi::xml_node child = node.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) node.remove_child(child);
        child = next;
    }
    if (text.isEmpty()) return true;
    // Before any element children, so the text reads back as written.
    pugi::xml_node first = node.first_child();
    pugi::xml_node data =
        first ? node.insert_child_before(pugi::node_pcdata, first) : node.append_child(pugi::node_pcdata);
    return data && data.set_value(text.asCstr());
}

bool VqDomNode::setAttributeValue(const char* name, const VqbString& value) {
    pugi::xml_node node = asNode(node_);
    if (!node || name == nullptr || *name == '\0') return false;
    pugi::xml_attribute attr = node.attribute(name);
    if (!attr) attr = node.append_attribute(name);
    return attr && attr.set_value(value.asCstr());
}

VqDom::VqDom() : doc_(new Doc) {}
VqDom::~VqDom() = default;

bool VqDom::loadFile(const VqbString& path) {
    error_ = VqbString("");
    try {
        pugi::xml_parse_result result = doc_->doc.load_file(path.asCstr(), kParseOptions, pugi::encoding_auto);
        if (result) return true;
        if (result.status == pugi::status_file_not_found || result.status == pugi::status_io_error)
            error_ = VqbString::format("Cannot read the XML file \"%s\": %s", path.asCstr(), result.description());
        else
            error_ = VqbString::format("The XML file \"%s\" is not well formed: %s at offset %lld", path.asCstr(),
                                       result.description(), static_cast<long long>(result.offset));
    } catch (const std::bad_alloc&) {
        error_ = VqbString::format("Out of memory reading the XML file \"%s\"", path.asCstr());
    }
    doc_->doc.reset();
    return false;
}

bool VqDom::loadXML(const VqbString& text) {
    error_ = VqbString("");
    try {
        pugi::xml_parse_result result = doc_->doc.load_buffer(text.asCstr(), text.cStrSize(), kParseOptions,
                                                              pugi::encoding_auto);
        if (result) return true;
        error_ = VqbString::format("The XML text is not well formed: %s at offset %lld", result.description(),
                                   static_cast<long long>(result.offset));
    } catch (const std::bad_alloc&) {
        error_ = VqbString("Out of memory reading the XML text");
    }
    doc_->doc.reset();
    return false;
}

VqDomNode VqDom::startNewDocument(const char* rootName) {
    error_ = VqbString("");
    doc_->doc.reset();
    if (rootName == nullptr || *rootName == '\0') return VqDomNode();
    return VqDomNode(doc_->doc.append_child(rootName).internal_object());
}

VqDomNode VqDom::getRoot() const { return VqDomNode(doc_->doc.document_element().internal_object()); }

bool VqDom::createFile(const VqbString& path, bool formatted, VqDomNode node) {
    error_ = VqbString("");
    StringWriter out;
    try {
        const unsigned flags = (formatted ? pugi::format_indent : pugi::format_raw) | pugi::format_no_declaration;
        out.text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        if (node.null())
            doc_->doc.save(out, "  ", flags, pugi::encoding_utf8);
        else
            asNode(node.node_).print(out, "  ", flags, pugi::encoding_utf8);
        if (!formatted) out.text += '\n';
    } catch (const std::bad_alloc&) {
        error_ = VqbString::format("Out of memory writing the XML file \"%s\"", path.asCstr());
        return false;
    }
    FILE* file = fopen(path.asCstr(), "wb");
    if (file == nullptr) {
        error_ = VqbString::format("Cannot create the XML file \"%s\": %s", path.asCstr(), strerror(errno));
        return false;
    }
    bool ok = fwrite(out.text.data(), 1, out.text.size(), file) == out.text.size();
    int err = errno;
    if (fclose(file) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) error_ = VqbString::format("Writing the XML file \"%s\" failed: %s", path.asCstr(), strerror(err));
    return ok;
}
