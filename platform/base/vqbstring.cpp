#include "vqbstring.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

inline bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Byte offset of character index n (the size when the text has fewer characters).
size_t byteOffset(const std::string& s, size_t n) {
    size_t i = 0;
    while (n > 0 && i < s.size()) {
        ++i;
        while (i < s.size() && isContinuation(static_cast<unsigned char>(s[i]))) ++i;
        --n;
    }
    return i;
}

size_t charIndex(const std::string& s, size_t byte) {
    size_t n = 0;
    for (size_t i = 0; i < byte && i < s.size(); ++i)
        if (!isContinuation(static_cast<unsigned char>(s[i]))) ++n;
    return n;
}

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

}  // namespace

VqbString::VqbString(const char* text) {
    if (text) {
        text_ = text;
        null_ = false;
    }
}

VqbString::VqbString(const char* text, size_t bytes) : null_(false) {
    if (text) text_.assign(text, bytes);
}

VqbString::VqbString(const std::string& text) : text_(text), null_(false) {}
VqbString::VqbString(std::string&& text) : text_(std::move(text)), null_(false) {}

void VqbString::setNull() {
    text_.clear();
    null_ = true;
}

size_t VqbString::length() const { return charIndex(text_, text_.size()); }

VqbString& VqbString::assign(const char* text) {
    if (!text) {
        setNull();
    } else {
        text_ = text;
        null_ = false;
    }
    return *this;
}

VqbString& VqbString::assign(const VqbString& text) {
    *this = text;
    return *this;
}

VqbString& VqbString::append(const char* text) {
    null_ = false;
    if (text) text_ += text;
    return *this;
}

VqbString& VqbString::append(const char* text, size_t bytes) {
    null_ = false;
    if (text) text_.append(text, bytes);
    return *this;
}

VqbString& VqbString::append(const VqbString& text) {
    null_ = false;
    text_ += text.text_;
    return *this;
}

VqbString& VqbString::append(char c) {
    null_ = false;
    text_ += c;
    return *this;
}

int VqbString::compare(const VqbString& other, bool exact) const {
    if (exact) {
        int r = text_.compare(other.text_);
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    size_t n = std::min(text_.size(), other.text_.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char a = static_cast<unsigned char>(lowerAscii(text_[i]));
        unsigned char b = static_cast<unsigned char>(lowerAscii(other.text_[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    if (text_.size() == other.text_.size()) return 0;
    return text_.size() < other.text_.size() ? -1 : 1;
}

long VqbString::find(const VqbString& what, size_t startChar, bool exact) const {
    size_t start = byteOffset(text_, startChar);
    if (exact) {
        size_t pos = text_.find(what.text_, start);
        return pos == std::string::npos ? -1 : static_cast<long>(charIndex(text_, pos));
    }
    std::string hay(text_), needle(what.text_);
    for (auto& c : hay) c = lowerAscii(c);
    for (auto& c : needle) c = lowerAscii(c);
    size_t pos = hay.find(needle, start);
    return pos == std::string::npos ? -1 : static_cast<long>(charIndex(text_, pos));
}

long VqbString::findChar(char c, size_t startChar) const {
    size_t pos = text_.find(c, byteOffset(text_, startChar));
    return pos == std::string::npos ? -1 : static_cast<long>(charIndex(text_, pos));
}

size_t vqbUtf8Cut(const char* text, size_t bytes, size_t maxBytes) {
    if (bytes <= maxBytes) return bytes;
    auto continues = [text](size_t at) { return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80; };
    // A character is at most four bytes: a boundary lies within three bytes before maxBytes.
    const size_t lowest = maxBytes >= 3 ? maxBytes - 3 : 0;
    for (size_t cut = maxBytes; cut >= lowest; --cut) {
        if (!continues(cut)) return cut;
        if (cut == 0) break;
    }
    return maxBytes;
}

VqbString VqbString::leftBytes(size_t maxBytes) const {
    if (text_.size() <= maxBytes) return *this;
    return VqbString(text_.data(), vqbUtf8Cut(text_.data(), text_.size(), maxBytes));
}

VqbString VqbString::mid(size_t startChar, size_t count) const {
    size_t from = byteOffset(text_, startChar);
    size_t to = (count == std::string::npos) ? text_.size() : from + byteOffset(text_.substr(from), count);
    return VqbString(text_.substr(from, to - from));
}

VqbString& VqbString::trim() {
    size_t b = 0, e = text_.size();
    while (b < e && isBlank(text_[b])) ++b;
    while (e > b && isBlank(text_[e - 1])) --e;
    text_ = text_.substr(b, e - b);
    return *this;
}

VqbString VqbString::trimmed() const {
    VqbString r(*this);
    r.trim();
    return r;
}

VqbString& VqbString::uppercase() {
    for (auto& c : text_) c = upperAscii(c);
    return *this;
}

VqbString& VqbString::lowercase() {
    for (auto& c : text_) c = lowerAscii(c);
    return *this;
}

VqbString& VqbString::replaceAll(const VqbString& what, const VqbString& with) {
    if (what.text_.empty()) return *this;
    std::string out;
    size_t pos = 0, hit;
    while ((hit = text_.find(what.text_, pos)) != std::string::npos) {
        out.append(text_, pos, hit - pos);
        out += with.text_;
        pos = hit + what.text_.size();
    }
    out.append(text_, pos, std::string::npos);
    text_.swap(out);
    return *this;
}

int64_t VqbString::asInt64(bool* error) const {
    std::string t = trimmed().text_;
    if (error) *error = true;
    if (t.empty()) return 0;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(t.c_str(), &end, 10);
    if (errno == ERANGE || end == t.c_str() || *end != '\0') return 0;
    if (error) *error = false;
    return v;
}

int VqbString::asInt(bool* error) const {
    bool err = false;
    int64_t v = asInt64(&err);
    if (!err && (v < INT32_MIN || v > INT32_MAX)) err = true;
    if (error) *error = err;
    return err ? 0 : static_cast<int>(v);
}

double VqbString::asDouble(bool* error) const {
    std::string t = trimmed().text_;
    if (error) *error = true;
    if (t.empty()) return 0.0;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (errno == ERANGE || end == t.c_str() || *end != '\0' || std::isnan(v)) return 0.0;
    if (error) *error = false;
    return v;
}

bool VqbString::asBool(bool* error) const {
    static const char* const yes[] = {"true", "yes", "on", "1", "t", "y"};
    static const char* const no[] = {"false", "no", "off", "0", "f", "n"};
    VqbString t = trimmed();
    if (error) *error = false;
    for (const char* y : yes)
        if (t.equals(y, false)) return true;
    for (const char* n : no)
        if (t.equals(n, false)) return false;
    if (error) *error = true;
    return false;
}

VqbString VqbString::format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    VqbString r(vqbFormatV(fmt, args));
    va_end(args);
    return r;
}

VqbString VqbString::formatV(const char* fmt, va_list args) { return VqbString(vqbFormatV(fmt, args)); }

void vqbStringFormat(VqbString& out, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    out = VqbString(vqbFormatV(fmt, args));
    va_end(args);
}

void vqbStringFormatV(VqbString& out, const char* fmt, va_list args) { out = VqbString(vqbFormatV(fmt, args)); }

namespace {

// Cuts text to at most `bytes` bytes without splitting a UTF-8 character.
size_t cutUtf8(const char* s, size_t len, size_t bytes) {
    if (len <= bytes) return len;
    size_t n = bytes;
    while (n > 0 && isContinuation(static_cast<unsigned char>(s[n]))) --n;
    return n;
}

}  // namespace

// Each conversion is handed to snprintf alone, with a spec rebuilt from parsed pieces, so no
// caller text is ever interpreted as a format and %S never reaches the C library.
std::string vqbFormatV(const char* fmt, va_list argsIn) {
    std::string out;
    if (!fmt) return out;
    va_list args;
    va_copy(args, argsIn);
    const char* p = fmt;
    while (*p) {
        if (*p != '%') {
            const char* q = std::strchr(p, '%');
            size_t n = q ? static_cast<size_t>(q - p) : std::strlen(p);
            out.append(p, n);
            p += n;
            continue;
        }
        const char* specStart = p++;
        if (*p == '%') {
            out += '%';
            ++p;
            continue;
        }
        std::string flags;
        while (*p && std::strchr("-+ #0", *p)) flags += *p++;
        int width = -1;
        bool leftFromStar = false;
        if (*p == '*') {
            width = va_arg(args, int);
            if (width < 0) {
                leftFromStar = true;
                width = -width;
            }
            ++p;
        } else if (*p >= '0' && *p <= '9') {
            width = 0;
            while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
        }
        int precision = -1;
        if (*p == '.') {
            ++p;
            precision = 0;
            if (*p == '*') {
                precision = va_arg(args, int);
                ++p;
            } else {
                while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
            }
        }
        std::string length;
        while (*p && std::strchr("hlLzjtq", *p)) length += *p++;
        char conv = *p;
        if (!conv) {
            out.append(specStart);
            break;
        }
        ++p;
        if (leftFromStar) flags += '-';
        std::string spec = "%" + flags;
        if (width >= 0) spec += std::to_string(width);
        if (precision >= 0 && conv != 's' && conv != 'S') spec += "." + std::to_string(precision);
        char buf[512];
        switch (conv) {
            case 'd':
            case 'i':
            case 'u':
            case 'o':
            case 'x':
            case 'X': {
                std::string s = spec + "ll" + conv;
                if (conv == 'd' || conv == 'i') {
                    long long v;
                    if (length == "ll" || length == "q" || length == "j") v = va_arg(args, long long);
                    else if (length == "l") v = va_arg(args, long);
                    else if (length == "z" || length == "t") v = va_arg(args, ptrdiff_t);
                    else if (length == "h") v = static_cast<short>(va_arg(args, int));
                    else if (length == "hh") v = static_cast<signed char>(va_arg(args, int));
                    else v = va_arg(args, int);
                    std::snprintf(buf, sizeof buf, s.c_str(), v);
                } else {
                    unsigned long long v;
                    if (length == "ll" || length == "q" || length == "j") v = va_arg(args, unsigned long long);
                    else if (length == "l") v = va_arg(args, unsigned long);
                    else if (length == "z" || length == "t") v = va_arg(args, size_t);
                    else if (length == "h") v = static_cast<unsigned short>(va_arg(args, unsigned));
                    else if (length == "hh") v = static_cast<unsigned char>(va_arg(args, unsigned));
                    else v = va_arg(args, unsigned);
                    std::snprintf(buf, sizeof buf, s.c_str(), v);
                }
                out += buf;
                break;
            }
            case 'c': {
                int c = va_arg(args, int);
                std::string s = spec + "c";
                std::snprintf(buf, sizeof buf, s.c_str(), c);
                out += buf;
                break;
            }
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A': {
                std::string s = spec + conv;
                if (length == "L") {
                    long double v = va_arg(args, long double);
                    s = spec + "L" + conv;
                    std::snprintf(buf, sizeof buf, s.c_str(), v);
                } else {
                    double v = va_arg(args, double);
                    std::snprintf(buf, sizeof buf, s.c_str(), v);
                }
                out += buf;
                break;
            }
            case 'p': {
                void* v = va_arg(args, void*);
                std::snprintf(buf, sizeof buf, "%p", v);
                out += buf;
                break;
            }
            case 's':
            case 'S': {
                const char* v = va_arg(args, const char*);
                if (!v) v = "(null)";
                size_t len = std::strlen(v);
                if (precision >= 0) len = cutUtf8(v, len, static_cast<size_t>(precision));
                // Width counts characters so that columns of non-ASCII text still line up.
                size_t chars = 0;
                for (size_t i = 0; i < len; ++i)
                    if (!isContinuation(static_cast<unsigned char>(v[i]))) ++chars;
                size_t pad = (width > 0 && static_cast<size_t>(width) > chars) ? width - chars : 0;
                bool left = flags.find('-') != std::string::npos;
                if (!left) out.append(pad, ' ');
                out.append(v, len);
                if (left) out.append(pad, ' ');
                break;
            }
            default:
                // Unknown conversion: written as it stands, consuming nothing.
                out.append(specStart, static_cast<size_t>(p - specStart));
                break;
        }
    }
    va_end(args);
    return out;
}
