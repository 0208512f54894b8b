#include "vqbconfig.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>

namespace {

struct ConfigStore {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<VqbConfigOptions>> sections;
    std::map<std::pair<std::string, std::string>, std::string> origins;  // (section, key) -> "file:line"
    bool loaded = false;
};

// Problems are told once per process: a reload of the same file must not repeat them.
std::mutex g_reportMutex;
std::set<std::string>& reported() {
    static std::set<std::string>* r = new std::set<std::string>();
    return *r;
}

ConfigStore& store() {
    static ConfigStore* s = new ConfigStore();  // lives for the process, like the platform's own
    return *s;
}

std::atomic<bool> g_unavailable{false};

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

VqbConfigOptions* sectionLocked(ConfigStore& s, const std::string& name) {
    auto it = s.sections.find(name);
    if (it != s.sections.end()) return it->second.get();
    auto* opts = new VqbConfigOptions(name);
    s.sections.emplace(name, std::unique_ptr<VqbConfigOptions>(opts));
    return opts;
}

void loadFileLocked(ConfigStore& s) {
    s.loaded = true;
    s.origins.clear();
    const char* path = std::getenv("REPOSADMIN_CONFIG");
    if (!path || !*path) return;
    std::ifstream in(path);
    if (!in) {
        vqbConfigReport(std::string("configuration file ") + path + " (REPOSADMIN_CONFIG) cannot be read: " +
                        std::strerror(errno) + "; using the defaults");
        return;
    }
    std::string line, section;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string t = trim(line);
        if (t.empty() || t[0] == '#' || t[0] == ';') continue;
        const std::string where = std::string(path) + ":" + std::to_string(number);
        if (t.front() == '[' && t.back() == ']') {
            section = trim(t.substr(1, t.size() - 2));
            continue;
        }
        size_t eq = t.find('=');
        std::string key = eq == std::string::npos ? std::string() : trim(t.substr(0, eq));
        if (key.empty()) {
            vqbConfigReport(where + ": not a key=value line, ignored: " + t);
            continue;
        }
        sectionLocked(s, section)->set(VqbString(key), VqbString(trim(t.substr(eq + 1))));
        s.origins[{section, key}] = where;
    }
}

}  // namespace

bool VqbConfigOptions::get(const VqbString& key, VqbString& value) const {
    std::lock_guard<std::mutex> g(mutex_);
    auto it = values_.find(key.str());
    if (it == values_.end()) return false;
    value = VqbString(it->second);
    return true;
}

void VqbConfigOptions::set(const VqbString& key, const VqbString& value) {
    std::lock_guard<std::mutex> g(mutex_);
    values_[key.str()] = value.str();
}

void VqbConfigOptions::remove(const VqbString& key) {
    std::lock_guard<std::mutex> g(mutex_);
    values_.erase(key.str());
}

VqbConfigOptions* vqbGetConfigOptions(const char* section) {
    if (g_unavailable.load()) return nullptr;
    ConfigStore& s = store();
    std::lock_guard<std::mutex> g(s.mutex);
    if (!s.loaded) loadFileLocked(s);
    return sectionLocked(s, section ? section : "");
}

std::vector<VqbString> VqbConfigOptions::keys() const {
    std::lock_guard<std::mutex> g(mutex_);
    std::vector<VqbString> out;
    out.reserve(values_.size());
    for (const auto& kv : values_) out.emplace_back(kv.first);
    return out;
}

void VqbConfigOptions::clear() {
    std::lock_guard<std::mutex> g(mutex_);
    values_.clear();
}

bool vqbConfigReload() {
    ConfigStore& s = store();
    std::lock_guard<std::mutex> g(s.mutex);
    // Section objects stay: callers keep their pointers for the whole process.
    for (auto& kv : s.sections) kv.second->clear();
    loadFileLocked(s);
    return true;
}

void vqbConfigClear() {
    ConfigStore& s = store();
    std::lock_guard<std::mutex> g(s.mutex);
    s.loaded = true;
    for (auto& kv : s.sections) kv.second->clear();
}

void vqbConfigSetUnavailable(bool unavailable) { g_unavailable.store(unavailable); }

std::string vqbConfigOrigin(const char* section, const char* key) {
    ConfigStore& s = store();
    std::lock_guard<std::mutex> g(s.mutex);
    auto it = s.origins.find({section ? section : "", key ? key : ""});
    return it == s.origins.end() ? std::string("configuration") : it->second;
}

void vqbConfigReport(const std::string& text) {
    std::lock_guard<std::mutex> g(g_reportMutex);
    if (!reported().insert(text).second) return;
    std::fprintf(stderr, "reposadmin: %s\n", text.c_str());
}

VqbString vqbConfigValue(const char* key, const char* fallback) {
    VqbConfigOptions* opts = vqbGetConfigOptions("");
    VqbString v;
    if (opts && opts->get(VqbString(key), v)) return v;
    return VqbString(fallback);
}
