#include "vqbconfig.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

struct ConfigStore {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<VqbConfigOptions>> sections;
    bool loaded = false;
};

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
    const char* path = std::getenv("REPOSADMIN_CONFIG");
    if (!path || !*path) return;
    std::ifstream in(path);
    if (!in) return;
    std::string line, section;
    while (std::getline(in, line)) {
        std::string t = trim(line);
        if (t.empty() || t[0] == '#' || t[0] == ';') continue;
        if (t.front() == '[' && t.back() == ']') {
            section = trim(t.substr(1, t.size() - 2));
            continue;
        }
        size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        sectionLocked(s, section)->set(VqbString(trim(t.substr(0, eq))), VqbString(trim(t.substr(eq + 1))));
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

VqbString vqbConfigValue(const char* key, const char* fallback) {
    VqbConfigOptions* opts = vqbGetConfigOptions("");
    VqbString v;
    if (opts && opts->get(VqbString(key), v)) return v;
    return VqbString(fallback);
}
