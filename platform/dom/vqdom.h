// XML document object model: load, walk element nodes, build and write documents.
#ifndef VQ_DOM_H
#define VQ_DOM_H

#include <memory>

#include "vqbstring.h"

class VqDom;

// A handle on one element of a VqDom; valid while its document lives and is not reloaded.
// Operations on a null node do nothing and give empty results or null nodes.
class VqDomNode {
public:
    VqDomNode() = default;

    bool null() const { return node_ == nullptr; }
    VqbString getName() const;
    // The element's own text (its text and CDATA children joined), as written; empty when none.
    VqbString getValue() const;
    // Empty when the attribute is absent; names compared exactly.
    VqbString getAttributeValue(const char* name) const;
    // Element children only: comments, processing instructions and text are passed over.
    VqDomNode getFirstChild() const;
    VqDomNode getNextSibling() const;

    // A new last child element; null on a null node or a bad name.
    VqDomNode addChild(const char* name);
    // Replaces the element's text.
    bool setValue(const VqbString& text);
    bool setAttributeValue(const char* name, const VqbString& value);

private:
    friend class VqDom;
    explicit VqDomNode(void* node) : node_(node) {}
    void* node_ = nullptr;
};

class VqDom {
public:
    VqDom();
    ~VqDom();
    VqDom(const VqDom&) = delete;
    VqDom& operator=(const VqDom&) = delete;

    // Replace the document; false with the error text set (the document is then empty).
    bool loadFile(const VqbString& path);
    bool loadXML(const VqbString& text);
    // An empty document with a root element of that name; returns the root.
    VqDomNode startNewDocument(const char* rootName);
    // The first element of the document; null when there is none.
    VqDomNode getRoot() const;
    // Writes the document, or only the subtree of node when it is not null, with an XML
    // declaration; formatted indents the elements. False with the error text set.
    bool createFile(const VqbString& path, bool formatted, VqDomNode node = VqDomNode());
    VqbString getErrorMessage() const { return error_; }

private:
    struct Doc;
    std::unique_ptr<Doc> doc_;
    VqbString error_;
};

#endif
