// Repository URIs: the text that names a repository object by its folder path and type.
//
// Text form: "repos://<base>/<object path>?type=<type name>". The base, each path character other
// than '/' and the type name are percent-encoded (UTF-8 bytes as %XX, upper-case hex) except the
// unreserved characters A-Z a-z 0-9 - . _ ~. An empty base gives "repos:///Sales/Q1/Rule1?type=Rule".
// Parsing the text gives back exactly the components it was built from.
#ifndef VQ_REPOSURI_H
#define VQ_REPOSURI_H

#include "vqbstring.h"

class VqReposURI {
public:
    virtual ~VqReposURI() = default;
    virtual void toString(VqbString& out) const = 0;
    virtual VqbString getBase() const = 0;
    virtual VqbString getObjectPath() const = 0;
    virtual VqbString getTypeName() const = 0;
};

// A new URI, deleted by the caller; null when the path or the type name is empty or a component
// holds a NUL byte. The base may be empty.
VqReposURI* getReposURIFromComponents(const VqbString& base, const VqbString& objectPath,
                                      const VqbString& typeName);

// A new URI read from its text, deleted by the caller; null when the text is not of the form above
// (other scheme, characters that should have been encoded, bad or NUL escapes, other query keys).
VqReposURI* getReposURIFromString(const VqbString& text);

#endif
