#include "sql_record.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <unordered_map>

#include "vqsqlite.h"

namespace {

thread_local int t_paused = 0;

// Lives until the process ends (statements still arrive from static destructors), so it is never
// freed.
struct Recording {
    std::mutex mutex;
    std::string folder;
    std::unordered_map<std::string, std::string> firstTest;
    std::vector<const std::string*> order;
};

Recording* g_recording = nullptr;

std::string currentTest() {
    std::string who = program_invocation_short_name;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return who + " <outside a test>";
    return who + " " + info->test_suite_name() + "." + info->name();
}

void observe(const char* text, size_t bytes) {
    if (t_paused > 0 || !g_recording) return;
    std::string sql(text, bytes);
    std::lock_guard<std::mutex> guard(g_recording->mutex);
    auto found = g_recording->firstTest.find(sql);
    if (found != g_recording->firstTest.end()) return;
    auto made = g_recording->firstTest.emplace(std::move(sql), currentTest());
    g_recording->order.push_back(&made.first->first);
}

void writeAtExit() {
    sqliteSetPrepareObserver(nullptr);
    writeSqlRecording();
}

bool readOne(const std::filesystem::path& path, std::map<std::string, std::string>& seen,
             std::vector<RecordedStatement>& out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string data = whole.str();
    size_t at = 0;
    while (at < data.size()) {
        size_t tab = data.find('\t', at), line = data.find('\n', at);
        char* end = nullptr;
        unsigned long long bytes = tab == std::string::npos ? 0 : std::strtoull(data.c_str() + at, &end, 10);
        if (tab == std::string::npos || line == std::string::npos || tab > line || end != data.c_str() + tab ||
            line + 1 + bytes + 1 > data.size() || data[line + 1 + bytes] != '\n') {
            if (error) *error = path.string() + ": malformed entry at byte " + std::to_string(at);
            return false;
        }
        std::string text = data.substr(line + 1, bytes);
        std::string test = data.substr(tab + 1, line - tab - 1);
        if (seen.emplace(text, test).second) out.push_back({text, test});
        at = line + 1 + bytes + 1;
    }
    return true;
}

}  // namespace

SqlRecordPause::SqlRecordPause() { ++t_paused; }
SqlRecordPause::~SqlRecordPause() { --t_paused; }

void startSqlRecording(const std::string& folder) {
    if (folder.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!g_recording) {
        g_recording = new Recording;
        std::atexit(writeAtExit);
    }
    {
        std::lock_guard<std::mutex> guard(g_recording->mutex);
        g_recording->folder = folder;
        g_recording->order.clear();
        g_recording->firstTest.clear();
    }
    sqliteSetPrepareObserver(observe);
}

// Each entry: "<bytes>\t<test>\n<text>\n".
void writeSqlRecording() {
    Recording* r = g_recording;
    if (!r) return;
    std::lock_guard<std::mutex> guard(r->mutex);
    if (r->order.empty()) return;
    // Named by the process that writes it: a forked child writes a file of its own.
    const std::string file =
        r->folder + "/sql-" + program_invocation_short_name + "-" + std::to_string(getpid()) + ".rec";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const std::string* text : r->order)
        out << text->size() << '\t' << r->firstTest[*text] << '\n' << *text << '\n';
    if (!out) std::fprintf(stderr, "could not write the statement record %s\n", file.c_str());
}

bool readSqlRecords(const std::string& folder, std::vector<RecordedStatement>& out, std::string* error) {
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".rec") files.push_back(it->path());
    if (ec) {
        if (error) *error = folder + ": " + ec.message();
        return false;
    }
    std::sort(files.begin(), files.end());
    std::map<std::string, std::string> seen;
    for (const auto& file : files)
        if (!readOne(file, seen, out, error)) return false;
    return true;
}
