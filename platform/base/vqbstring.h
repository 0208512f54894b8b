// Platform string: UTF-8 text with a null state distinct from the empty text.
#ifndef VQB_STRING_H
#define VQB_STRING_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

class VqbString {
public:
    VqbString() = default;                       // null
    VqbString(const char* text);                 // null when text is null
    VqbString(const char* text, size_t bytes);
    VqbString(const std::string& text);
    VqbString(std::string&& text);

    bool isNull() const { return null_; }
    bool isEmpty() const { return text_.empty(); }
    void setNull();

    // Byte size of the UTF-8 text (without terminator) and its length in characters.
    size_t cStrSize() const { return text_.size(); }
    size_t length() const;

    const char* asCstr() const { return text_.c_str(); }
    const std::string& str() const { return text_; }

    VqbString& assign(const char* text);
    VqbString& assign(const VqbString& text);
    VqbString& append(const char* text);
    VqbString& append(const char* text, size_t bytes);
    VqbString& append(const VqbString& text);
    VqbString& append(char c);
    VqbString& operator+=(const VqbString& text) { return append(text); }
    VqbString& operator+=(const char* text) { return append(text); }
    VqbString& operator+=(char c) { return append(c); }

    // exact true compares case-sensitively; false ignores (ASCII) case. Null sorts as empty.
    int compare(const VqbString& other, bool exact = true) const;
    bool equals(const VqbString& other, bool exact = true) const { return compare(other, exact) == 0; }

    // Character positions (UTF-8 aware); -1 when not found.
    long find(const VqbString& what, size_t startChar = 0, bool exact = true) const;
    long findChar(char c, size_t startChar = 0) const;
    // Characters [start, start+count); never cuts a multi-byte character.
    VqbString mid(size_t startChar, size_t count = std::string::npos) const;
    VqbString left(size_t count) const { return mid(0, count); }
    // The longest prefix of whole characters that fits in maxBytes bytes.
    VqbString leftBytes(size_t maxBytes) const;

    VqbString& trim();
    VqbString trimmed() const;
    VqbString& uppercase();   // ASCII letters only; other bytes are kept
    VqbString& lowercase();
    VqbString& replaceAll(const VqbString& what, const VqbString& with);

    // Conversions: *error (when given) is set true when the text is not a whole number / real / boolean.
    int asInt(bool* error = nullptr) const;
    int64_t asInt64(bool* error = nullptr) const;
    double asDouble(bool* error = nullptr) const;
    // true/false, yes/no, on/off, 1/0 ignoring case.
    bool asBool(bool* error = nullptr) const;

    // Callers write %s for text; %S is accepted as its synonym but our own code avoids it so the
    // compiler can check arguments.
    static VqbString format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
    static VqbString formatV(const char* fmt, va_list args);

    friend bool operator==(const VqbString& a, const VqbString& b) { return a.compare(b, true) == 0; }
    friend bool operator!=(const VqbString& a, const VqbString& b) { return a.compare(b, true) != 0; }
    friend bool operator<(const VqbString& a, const VqbString& b) { return a.compare(b, true) < 0; }
    friend VqbString operator+(const VqbString& a, const VqbString& b) {
        VqbString r(a);
        r.append(b);
        return r;
    }

private:
    std::string text_;
    bool null_ = true;
};

// printf-style formatting done by our own formatter: %S and %s both take narrow C text
// (const char*); a null pointer is written as "(null)". Supports flags, width, precision,
// the length modifiers h, hh, l, ll, z, j, t and the conversions d i u o x X c s S f F e E g G p %.
// The bytes of the longest prefix of text (bytes long) that ends on a character boundary within
// maxBytes; a malformed sequence is cut at maxBytes itself.
size_t vqbUtf8Cut(const char* text, size_t bytes, size_t maxBytes);

void vqbStringFormat(VqbString& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void vqbStringFormatV(VqbString& out, const char* fmt, va_list args);
std::string vqbFormatV(const char* fmt, va_list args);

#endif
