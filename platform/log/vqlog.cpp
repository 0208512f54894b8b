#include "vqlog.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "vqbconfig.h"
#include "vqbstring.h"

namespace {

// Without a LOG/LEVEL, a log file takes warnings and up; stderr, which the host's user reads,
// takes errors only.
constexpr int kLevelInFile = 4;
constexpr int kLevelOnStderr = 5;

// A threshold read from the configuration; a bad value is told to the user and leaves the level.
bool configuredLevel(VqbConfigOptions* opts, const std::string& key, int& level) {
    VqbString v;
    if (!opts || !opts->get(VqbString(key), v)) return false;
    bool err = false;
    int l = v.trimmed().asInt(&err);
    if (err || l < 1 || l > 6) {
        vqbConfigReport(vqbConfigOrigin("", key.c_str()) + ": " + key + "=" + v.str() +
                        " is not a level from 1 to 6, ignored");
        return false;
    }
    level = l;
    return true;
}

// The folder of the log file must exist and take new files; otherwise entries go to stderr.
bool usableLogFile(const std::string& file) {
    size_t slash = file.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    if (access(folder.c_str(), W_OK | X_OK) == 0 || access(file.c_str(), W_OK) == 0) return true;
    vqbConfigReport(vqbConfigOrigin("", "LOG/FILE") + ": LOG/FILE=" + file + " cannot be written (" +
                    std::strerror(errno) + "); logging to standard error");
    return false;
}

struct LogState {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<VqLogger>> loggers;
    std::vector<std::pair<std::string, int>> overrides;  // name prefix -> level, later wins
    int defaultLevel = kLevelOnStderr;
    std::string file;
    bool configured = false;
    std::function<void(const VqLogEntry&)> hook;
};

LogState& state() {
    static LogState* s = new LogState();  // loggers are never freed
    return *s;
}

int levelFor(const LogState& s, const std::string& name) {
    int level = s.defaultLevel;
    size_t best = 0;
    bool found = false;
    for (const auto& o : s.overrides) {
        const std::string& p = o.first;
        bool matches = p.empty() || (name.compare(0, p.size(), p) == 0 &&
                                     (name.size() == p.size() || name[p.size()] == '.'));
        if (matches && (!found || p.size() >= best)) {
            best = p.size();
            level = o.second;
            found = true;
        }
    }
    return level;
}

void configureLocked(LogState& s) {
    s.configured = true;
    s.overrides.clear();
    s.file.clear();
    VqbConfigOptions* opts = vqbGetConfigOptions("");
    VqbString v;
    if (opts && opts->get("LOG/FILE", v) && !v.trimmed().isEmpty() && usableLogFile(v.trimmed().str()))
        s.file = v.trimmed().str();
    s.defaultLevel = s.file.empty() ? kLevelOnStderr : kLevelInFile;
    configuredLevel(opts, "LOG/LEVEL", s.defaultLevel);
    for (auto& kv : s.loggers) kv.second->setLevel(levelFor(s, kv.first));
}

}  // namespace

VqLogger* vqlogGetLogger(const char* name) {
    LogState& s = state();
    std::lock_guard<std::mutex> g(s.mutex);
    if (!s.configured) configureLocked(s);
    std::string n = name ? name : "";
    auto it = s.loggers.find(n);
    if (it != s.loggers.end()) return it->second.get();
    int level = levelFor(s, n);
    configuredLevel(vqbGetConfigOptions(""), "LOG/LEVEL/" + n, level);
    auto* logger = new VqLogger(n, level);
    s.loggers.emplace(n, std::unique_ptr<VqLogger>(logger));
    return logger;
}

void VqLogger::log(int level, const char* sourceFile, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    logv(level, sourceFile, line, format, args);
    va_end(args);
}

void VqLogger::logv(int level, const char* sourceFile, int line, const char* format, va_list args) {
    if (level < getLevel()) return;
    VqLogEntry e{name_, level, sourceFile ? sourceFile : "", line, vqbFormatV(format, args)};
    LogState& s = state();
    std::function<void(const VqLogEntry&)> hook;
    {
        std::lock_guard<std::mutex> g(s.mutex);
        hook = s.hook;
    }
    if (hook) {
        hook(e);
        return;
    }
    std::lock_guard<std::mutex> g(s.mutex);
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    FILE* out = stderr;
    FILE* file = nullptr;
    if (!s.file.empty()) {
        file = std::fopen(s.file.c_str(), "a");
        if (file) out = file;
    }
    std::fprintf(out, "%s %d %s [%s:%d] %s\n", stamp, level, e.logger.c_str(), e.sourceFile.c_str(), line,
                 e.text.c_str());
    if (file) std::fclose(file);
}

void vqlogSetCaptureHook(std::function<void(const VqLogEntry&)> hook) {
    LogState& s = state();
    std::lock_guard<std::mutex> g(s.mutex);
    s.hook = std::move(hook);
}

void vqlogSetLevel(const char* namePrefix, int level) {
    LogState& s = state();
    std::lock_guard<std::mutex> g(s.mutex);
    if (!s.configured) configureLocked(s);
    std::string p = namePrefix ? namePrefix : "";
    s.overrides.emplace_back(p, level);
    for (auto& kv : s.loggers) kv.second->setLevel(levelFor(s, kv.first));
}

void vqlogConfigure() {
    LogState& s = state();
    std::lock_guard<std::mutex> g(s.mutex);
    configureLocked(s);
}
