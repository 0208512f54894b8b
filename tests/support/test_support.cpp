#include "test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "repos-test-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

LogCapture::LogCapture(int level) {
    vqlogSetLevel("", level);
    vqlogSetCaptureHook([this](const VqLogEntry& e) {
        std::lock_guard<std::mutex> g(mutex_);
        entries_.push_back(e);
    });
}

LogCapture::~LogCapture() {
    vqlogSetCaptureHook(nullptr);
    vqlogSetLevel("", 4);
}

std::vector<VqLogEntry> LogCapture::entries() const {
    std::lock_guard<std::mutex> g(mutex_);
    return entries_;
}

size_t LogCapture::count(const std::string& fragment, int level) const {
    std::lock_guard<std::mutex> g(mutex_);
    size_t n = 0;
    for (const auto& e : entries_)
        if ((level < 0 || e.level == level) && e.text.find(fragment) != std::string::npos) ++n;
    return n;
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> g(mutex_);
    entries_.clear();
}

ConfigScope::~ConfigScope() {
    for (const auto& k : keys_) {
        VqbConfigOptions* o = vqbGetConfigOptions(k.first.c_str());
        if (o) o->remove(VqbString(k.second));
    }
}

void ConfigScope::set(const char* key, const char* value, const char* section) {
    VqbConfigOptions* o = vqbGetConfigOptions(section);
    if (!o) return;
    o->set(VqbString(key), VqbString(value));
    keys_.emplace_back(section, key);
}

std::string uniqueTestPrefix(char lead) {
    static std::atomic<unsigned> made{0};
    char text[40];
    std::snprintf(text, sizeof text, "%c%xx%u_", lead, static_cast<unsigned>(getpid()), ++made);
    return text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string pgConnection() {
    const char* c = std::getenv("REPOS_TEST_PG");
    return c ? std::string(c) : std::string();
}

std::string pgOwnTables(const std::string& schema, const std::string& lead) {
    auto literal = [](const std::string& text) {
        std::string out = "'";
        for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
        return out + "'";
    };
    return "WITH own AS MATERIALIZED (SELECT c.oid, c.relname FROM pg_catalog.pg_class c JOIN "
           "pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE c.relkind = 'r' AND n.nspname = " +
           literal(schema) + " AND left(c.relname, " + std::to_string(lead.size()) + ") = " + literal(lead) + ") ";
}

// LeakSanitizer reads its options from here in every test program, however the program is run,
// so the suppressions of leaks inside the ODBC driver always apply.
extern "C" const char* __lsan_default_options() { return "suppressions=" REPOS_LSAN_SUPP; }

std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool childSucceeded(int pid) {
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
