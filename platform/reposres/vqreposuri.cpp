#include "vqreposuri.h"

#include <cstring>
#include <new>
#include <string>

namespace {

const char kScheme[] = "repos://";
const char kTypeQuery[] = "type=";

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

void encode(std::string& out, const std::string& text, bool keepSlash) {
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if (isUnreserved(c) || (keepSlash && c == '/')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Strict: only what encode() writes is accepted, and never an encoded NUL.
bool decode(const std::string& text, size_t begin, size_t end, bool allowSlash, std::string& out) {
    out.clear();
    for (size_t i = begin; i < end; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (i + 2 >= end) return false;
            int hi = hexValue(text[i + 1]);
            int lo = hexValue(text[i + 2]);
            if (hi < 0 || lo < 0) return false;
            char decoded = static_cast<char>(hi * 16 + lo);
            if (decoded == '\0') return false;
            out += decoded;
            i += 2;
        } else if (isUnreserved(c) || (allowSlash && c == '/')) {
            out += static_cast<char>(c);
        } else {
            return false;
        }
    }
    return true;
}

bool hasNul(const VqbString& s) { return s.str().find('\0') != std::string::npos; }

class VqReposURIImpl final : public VqReposURI {
public:
    VqReposURIImpl(std::string base, std::string path, std::string type)
        : base_(std::move(base)), path_(std::move(path)), type_(std::move(type)) {}

    void toString(VqbString& out) const override {
        std::string text(kScheme);
        encode(text, base_, false);
        text += '/';
        encode(text, path_, true);
        text += '?';
        text += kTypeQuery;
        encode(text, type_, false);
        out = VqbString(std::move(text));
    }
    VqbString getBase() const override { return VqbString(base_); }
    VqbString getObjectPath() const override { return VqbString(path_); }
    VqbString getTypeName() const override { return VqbString(type_); }

private:
    std::string base_, path_, type_;
};

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
    size_t n = std::strlen(prefix);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char a = text[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
        if (a != prefix[i]) return false;
    }
    return true;
}

}  // namespace

VqReposURI* getReposURIFromComponents(const VqbString& base, const VqbString& objectPath,
                                      const VqbString& typeName) {
    if (objectPath.isEmpty() || typeName.isEmpty()) return nullptr;
    if (hasNul(base) || hasNul(objectPath) || hasNul(typeName)) return nullptr;
    try {
        return new VqReposURIImpl(base.str(), objectPath.str(), typeName.str());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

VqReposURI* getReposURIFromString(const VqbString& text) {
    try {
        const std::string& t = text.str();
        if (!startsWithIgnoringCase(t, kScheme)) return nullptr;
        const size_t baseBegin = sizeof(kScheme) - 1;
        const size_t slash = t.find('/', baseBegin);
        const size_t query = t.find('?', baseBegin);
        if (slash == std::string::npos || query == std::string::npos || query < slash) return nullptr;
        const size_t typeBegin = query + 1 + (sizeof(kTypeQuery) - 1);
        if (t.compare(query + 1, sizeof(kTypeQuery) - 1, kTypeQuery) != 0) return nullptr;
        std::string base, path, type;
        if (!decode(t, baseBegin, slash, false, base) || !decode(t, slash + 1, query, true, path) ||
            !decode(t, typeBegin, t.size(), false, type))
            return nullptr;
        return getReposURIFromComponents(VqbString(base), VqbString(path), VqbString(type));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
