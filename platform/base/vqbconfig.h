// Configuration options: key=value pairs in sections, read from the file named by the
// environment variable REPOSADMIN_CONFIG ("[SECTION]" lines start a section; the default
// section has the empty name; '#' and ';' start comment lines).
#ifndef VQB_CONFIG_H
#define VQB_CONFIG_H

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "vqbstring.h"

class VqbConfigOptions {
public:
    explicit VqbConfigOptions(std::string section) : section_(std::move(section)) {}
    // True when the key is present; the value may be empty.
    bool get(const VqbString& key, VqbString& value) const;
    void set(const VqbString& key, const VqbString& value);
    void remove(const VqbString& key);
    void clear();
    // The keys present, in byte order.
    std::vector<VqbString> keys() const;
    const std::string& section() const { return section_; }

private:
    std::string section_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> values_;
};

// The options of a section (the empty name for the default section); null when the
// configuration service is unavailable. The object lives for the whole process.
VqbConfigOptions* vqbGetConfigOptions(const char* section);

// Reads the configuration file again (REPOSADMIN_CONFIG), replacing every section.
bool vqbConfigReload();
// Forgets every value (sections stay available).
void vqbConfigClear();
// Makes vqbGetConfigOptions answer null (for tests of that failure).
void vqbConfigSetUnavailable(bool unavailable);
// Where a key was read, as "file:line" ("configuration" for a key set by the program).
std::string vqbConfigOrigin(const char* section, const char* key);
// Tells the user of a configuration problem on stderr, once per process for the same text; the
// run goes on with the defaults.
void vqbConfigReport(const std::string& text);
// Convenience: the value of a key of the default section, or the fallback when absent.
VqbString vqbConfigValue(const char* key, const char* fallback = "");

#endif
