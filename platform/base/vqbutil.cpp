#include "vqbutil.h"

#include <dirent.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <uuid/uuid.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "vqlog.h"

namespace {

// Random (version 4) UUIDs drawn from kernel randomness fetched a page at a time: the library asks
// the kernel (and reseeds its own generator) for every UUID, which dominates an export that names
// each of its many child rows with one. A child process starts on fresh bytes, never on the
// parent's rest.
std::atomic<unsigned> forkGeneration{0};
void forked() { forkGeneration.fetch_add(1, std::memory_order_relaxed); }

struct RandomPool {
    unsigned char bytes[4096];
    size_t used = sizeof bytes;
    unsigned generation = 0;
};

bool poolUuid(uuid_t id) {
    static const bool registered = pthread_atfork(nullptr, nullptr, forked) == 0;
    if (!registered) return false;
    thread_local RandomPool pool;
    const unsigned generation = forkGeneration.load(std::memory_order_relaxed);
    if (pool.generation != generation) {
        pool.used = sizeof pool.bytes;
        pool.generation = generation;
    }
    if (pool.used + sizeof(uuid_t) > sizeof pool.bytes) {
        if (getrandom(pool.bytes, sizeof pool.bytes, 0) != static_cast<ssize_t>(sizeof pool.bytes)) return false;
        pool.used = 0;
    }
    std::memcpy(id, pool.bytes + pool.used, sizeof(uuid_t));
    pool.used += sizeof(uuid_t);
    id[6] = static_cast<unsigned char>((id[6] & 0x0F) | 0x40);
    id[8] = static_cast<unsigned char>((id[8] & 0x3F) | 0x80);
    return true;
}

}  // namespace

void vqbGetUUID(VqbString& out) {
    uuid_t id;
    if (!poolUuid(id)) uuid_generate(id);
    char text[37];
    uuid_unparse_lower(id, text);
    out = VqbString(text);
}

VqbString vqbNewUUID() {
    VqbString s;
    vqbGetUUID(s);
    return s;
}

namespace {
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}  // namespace

std::string vqbBase64Encode(const std::string& in) {
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    for (size_t i = 0; i < in.size(); i += 3) {
        size_t n = std::min<size_t>(3, in.size() - i);
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (n > 1) v |= static_cast<unsigned char>(in[i + 1]) << 8;
        if (n > 2) v |= static_cast<unsigned char>(in[i + 2]);
        out.push_back(kBase64[(v >> 18) & 63]);
        out.push_back(kBase64[(v >> 12) & 63]);
        out.push_back(n > 1 ? kBase64[(v >> 6) & 63] : '=');
        out.push_back(n > 2 ? kBase64[v & 63] : '=');
    }
    return out;
}

bool vqbBase64Decode(const std::string& in, std::string& out) {
    out.clear();
    if (in.size() % 4 != 0) return false;
    for (size_t i = 0; i < in.size(); i += 4) {
        unsigned v = 0;
        int pad = 0;
        for (size_t j = 0; j < 4; ++j) {
            char c = in[i + j];
            const char* at = c ? std::strchr(kBase64, c) : nullptr;
            if (c == '=' && i + 4 == in.size() && j >= 2) {
                ++pad;
                v <<= 6;
                continue;
            }
            if (!at || pad) return false;
            v = (v << 6) | static_cast<unsigned>(at - kBase64);
        }
        out.push_back(static_cast<char>((v >> 16) & 255));
        if (pad < 2) out.push_back(static_cast<char>((v >> 8) & 255));
        if (pad < 1) out.push_back(static_cast<char>(v & 255));
    }
    return true;
}

void vqbConcatPath(VqbString& out, const VqbString& directory, const VqbString& name) {
    std::string d = directory.str();
    std::string n = name.str();
    if (d.empty()) {
        out = VqbString(n);
        return;
    }
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    size_t b = 0;
    while (b < n.size() && n[b] == '/') ++b;
    out = VqbString(d == "/" ? d + n.substr(b) : d + "/" + n.substr(b));
}

void vqbParsePath(const VqbString& path, VqbString* directory, VqbString* fileName, VqbString* extension) {
    const std::string& p = path.str();
    size_t slash = p.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : p.substr(0, slash == 0 ? 1 : slash);
    std::string file = slash == std::string::npos ? p : p.substr(slash + 1);
    size_t dot = file.find_last_of('.');
    std::string ext = (dot == std::string::npos || dot == 0) ? std::string() : file.substr(dot + 1);
    if (directory) *directory = VqbString(dir);
    if (fileName) *fileName = VqbString(file);
    if (extension) *extension = VqbString(ext);
}

bool VqbDirectoryListing::next(VqbString& name) {
    if (pos_ >= names_.size()) return false;
    name = VqbString(names_[pos_++]);
    return true;
}

std::unique_ptr<VqbDirectoryListing> vqbDirectoryOpen(const VqbString& path, unsigned, VqbString& error) {
    // Closed on every way out, a failed allocation while listing included.
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.asCstr()), closedir);
    if (!dir) {
        error = VqbString::format("Cannot open directory \"%s\": %s", path.asCstr(), std::strerror(errno));
        return nullptr;
    }
    std::vector<std::string> names;
    while (struct dirent* e = readdir(dir.get())) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        std::string full = path.str() + "/" + e->d_name;
        struct stat st {};
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.emplace_back(e->d_name);
    }
    dir.reset();
    std::sort(names.begin(), names.end());
    return std::make_unique<VqbDirectoryListing>(std::move(names));
}

namespace {
struct TypeName {
    int code;
    const char* name;
};
const TypeName kTypeNames[] = {
    {1, "boolean"}, {2, "integer"}, {3, "real"}, {4, "string"}, {5, "date"},
};
const TypeName kTypeAliases[] = {
    {1, "bool"}, {2, "int"}, {3, "double"}, {3, "float"}, {4, "text"},
};
}  // namespace

const char* vqbTypeToString(int type) {
    for (const auto& t : kTypeNames)
        if (t.code == type) return t.name;
    return "unknown";
}

int vqbTypeFromString(const char* name) {
    if (!name) return 0;
    for (const auto& t : kTypeNames)
        if (strcasecmp(t.name, name) == 0) return t.code;
    for (const auto& t : kTypeAliases)
        if (strcasecmp(t.name, name) == 0) return t.code;
    return 0;
}

bool vqbIsPlainIdentifier(const std::string& name) {
    if (name.empty()) return false;
    unsigned char first = static_cast<unsigned char>(name[0]);
    if (!(std::isalpha(first) || first == '_')) return false;
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (!(std::isalnum(c) || c == '_')) return false;
    }
    return true;
}

std::string vqbQuoteIdentifier(const std::string& name, const char* quote) {
    if (!quote || !*quote) return name;
    std::string out(1, quote[0]);
    out.reserve(name.size() + 2);
    for (char c : name) {
        out += c;
        if (c == quote[0]) out += c;
    }
    out += quote[0];
    return out;
}

void vqbAssertFailure(const char* expression, const char* file, int line) {
    vqlogGetLogger("VQ.Base")->log(5, file, line, "Assertion failed: %s", expression ? expression : "");
}
