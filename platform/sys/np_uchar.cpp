#include "np_uchar.h"

#include <cwctype>

size_t np_uchar_seek(const char* s) {
    if (!s || !*s) return 0;
    unsigned char c = static_cast<unsigned char>(*s);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    for (size_t i = 1; i < len; ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
    return len;
}

uint32_t np_uchar_toint(const char* s) {
    if (!s) return 0;
    size_t len = np_uchar_seek(s);
    unsigned char c = static_cast<unsigned char>(*s);
    if (len <= 1) return c;
    uint32_t v = c & (0xFF >> (len + 1));
    for (size_t i = 1; i < len; ++i) v = (v << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    return v;
}

bool np_uchar_isspace(const char* s) {
    uint32_t c = np_uchar_toint(s);
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

bool np_uchar_isalpha(const char* s) {
    uint32_t c = np_uchar_toint(s);
    if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return std::iswalpha(static_cast<wint_t>(c)) != 0 || c >= 0xC0;
}
