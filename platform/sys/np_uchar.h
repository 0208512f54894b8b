// UTF-8 character helpers.
#ifndef NP_UCHAR_H
#define NP_UCHAR_H

#include <cstddef>
#include <cstdint>

// The byte length of the UTF-8 character starting at s (1 for a stray or invalid byte, 0 at
// the terminator).
size_t np_uchar_seek(const char* s);
// Code point of the character at s (the byte itself for invalid sequences).
uint32_t np_uchar_toint(const char* s);
bool np_uchar_isspace(const char* s);
bool np_uchar_isalpha(const char* s);

#endif
