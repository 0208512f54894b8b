// Big strings: texts kept apart in BIGSTR as numbered chunks, with a reference text in the column
// where the text belongs.
#ifndef RDA_BIGSTRINGS_H
#define RDA_BIGSTRINGS_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "repos_dataaccess.h"

// Big-string reference texts: "_~_velqorinRef_<id>_~_".
namespace RDA_BigString {
constexpr const char* kPrefix = "_~_velqorinRef_";
constexpr size_t kPrefixLength = 15;
constexpr const char* kSuffix = "_~_";
// A cheap test that lets ordinary texts pass without further work.
inline bool hasPrefix(const char* text, size_t bytes) {
    return bytes > kPrefixLength && std::memcmp(text, kPrefix, kPrefixLength) == 0;
}
inline bool hasPrefix(const VqbString& text) { return hasPrefix(text.asCstr(), text.cStrSize()); }
// True for a whole reference text (prefix, 1 to 10 digits of a 32-bit id, suffix, nothing more).
bool parse(const VqbString& text, uint32_t* id);
// A text value that a cursor would read back as another text: a whole reference.
bool isReference(const VqbDatavar& value);
// A text value that is not stored in its column as given on a connection whose longest column
// text is maxTextLen: longer than that (0: no limit), or a whole reference.
bool storedApart(const VqbDatavar& value, int maxTextLen);
// A text a host gave with the shape of a reference becomes a reference to a big string of its
// own, so that it reads back as itself; other values stay. False (the value untouched) when the
// big string could not be stored.
bool keepOwnText(ReposDataAccess* connection, VqbDatavar& value);
// keepOwnText for each value the statement stores (a compared value stays as given; one the
// connection's reader cannot place is kept). kept stays empty when no value needs it, so the
// statement runs with the values it was given.
bool keepOwnTexts(ReposDataAccess* connection, const VqbString& sql, const std::vector<VqbDatavar>& values,
                  std::vector<VqbDatavar>& kept);
VqbString format(uint32_t id);
// Chunk limit of a SQLite file written directly: the file keeps texts up to 65,536 bytes inline.
constexpr int kSqliteFileTextLen = 65536;
// The text length the connector gives a database that does not keep long texts inline.
constexpr int kConnectorTextLen = 255;
// Bytes of the next chunk: the whole UTF-8 characters that fit in limit bytes (at least one
// character; the whole text when it ends first).
size_t chunkBytes(const char* text, size_t bytes, size_t limit);
// One chunk of a big string: the row BS_SEQ = sequence holds data.
struct Chunk {
    long long sequence;
    std::string data;
};
// The last chunk a writer whose chunks hold at most limit bytes stores for the text.
Chunk lastChunk(const VqbString& text, size_t limit);
}  // namespace RDA_BigString


#endif
