// Platform helpers: UUIDs, paths, directory listings, type names, assertions.
#ifndef VQB_UTIL_H
#define VQB_UTIL_H

#include <memory>
#include <string>
#include <vector>

#include "vqbstring.h"

// A new UUID in canonical lower-case form (36 characters, no braces).
void vqbGetUUID(VqbString& out);
VqbString vqbNewUUID();

// Standard base64 with '=' padding. Decoding refuses any other character or a wrong length.
std::string vqbBase64Encode(const std::string& in);
bool vqbBase64Decode(const std::string& in, std::string& out);

// Joins a directory and a name with one '/'.
void vqbConcatPath(VqbString& out, const VqbString& directory, const VqbString& name);
// Splits a path into its directory (without the trailing '/'), file name and extension
// (without the dot; the file name keeps it). Any out pointer may be null.
void vqbParsePath(const VqbString& path, VqbString* directory, VqbString* fileName, VqbString* extension);

// A directory listing read once when opened, names sorted by byte order; only regular files.
class VqbDirectoryListing {
public:
    explicit VqbDirectoryListing(std::vector<std::string> names) : names_(std::move(names)) {}
    // The next file name; false at the end.
    bool next(VqbString& name);
    void rewind() { pos_ = 0; }
    size_t count() const { return names_.size(); }

private:
    std::vector<std::string> names_;
    size_t pos_ = 0;
};
// flags are accepted for compatibility and ignored. Null with error set on failure.
std::unique_ptr<VqbDirectoryListing> vqbDirectoryOpen(const VqbString& path, unsigned flags, VqbString& error);

// Identifiers pasted into SQL. A plain one is a letter or '_', then letters, digits and '_'.
bool vqbIsPlainIdentifier(const std::string& name);
// name between the DBMS's identifier quotes, each embedded quote doubled; unchanged when the
// DBMS has no quote (empty or null quote).
std::string vqbQuoteIdentifier(const std::string& name, const char* quote);
inline VqbString vqbQuoteIdentifier(const VqbString& name, const VqbString& quote) {
    return VqbString(vqbQuoteIdentifier(name.str(), quote.str().c_str()));
}

// Value type names: "boolean", "integer", "real", "string", "date"; unknown codes give "unknown".
const char* vqbTypeToString(int type);
// Case-insensitive; also accepts "int", "double", "float", "text", "bool". 0 when unknown.
int vqbTypeFromString(const char* name);

// Logs an assertion failure at level 5 on "VQ.Base" and carries on.
void vqbAssertFailure(const char* expression, const char* file, int line);

#endif
