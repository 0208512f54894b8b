#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <thread>

#include "np_fio.h"
#include "np_lex.h"
#include "np_uchar.h"
#include "reposlog.h"
#include "test_support.h"
#include "vqbconfig.h"
#include "vqbdatavar.h"
#include "vqbmessage.h"
#include "vqbstring.h"
#include "vqbutil.h"

namespace {
// Goes around the compiler's printf check, which reads %S as a wide string.
std::string fmt(const char* f, ...) {
    va_list a;
    va_start(a, f);
    std::string r = vqbFormatV(f, a);
    va_end(a);
    return r;
}
}  // namespace

TEST(Format, ConversionsWidthsAndOurStringConversion) {
    EXPECT_EQ(fmt("%S-%s|%5d|%-4s|%05.1f|%x|%%|%c", "a", "b", 42, "ab", 3.14159, 255, 'z'),
              "a-b|   42|ab  |003.1|ff|%|z");
    EXPECT_EQ(VqbString::format("%lld %llu %ld %zu", -9000000000LL, 18000000000ULL, -5L, size_t(7)).str(),
              "-9000000000 18000000000 -5 7");
    EXPECT_EQ(fmt("%s", static_cast<const char*>(nullptr)), "(null)");
    // An unknown conversion is kept as text and consumes no argument.
    EXPECT_EQ(fmt("%y %d", 7), "%y 7");
    EXPECT_EQ(fmt("trailing %"), "trailing %");
    // Precision and width count characters: "äö" is four bytes and is never split.
    EXPECT_EQ(VqbString::format("[%.3s]", "\xC3\xA4\xC3\xB6").str(), "[\xC3\xA4]");
    EXPECT_EQ(VqbString::format("[%-4s]", "\xC3\xA4\xC3\xB6").str(), "[\xC3\xA4\xC3\xB6  ]");
}

TEST(Logger, PercentSignsInArgumentsAreWrittenLiterallyAndThresholdsFilter) {
    LogCapture capture(1);
    VqLogger* logger = vqlogGetLogger("VQ.Test.Format");
    const char* hostile = "C:\\100%\\%s%S%n%d file";
    reposLog(logger, 5, "platform_test", __LINE__, "%s", hostile);
    reposLog(logger, 5, "platform_test", __LINE__, "%s", fmt("Open [%S] at %d%%", hostile, 3).c_str());
    auto entries = capture.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text, hostile);
    EXPECT_EQ(entries[1].text, std::string("Open [") + hostile + "] at 3%");
    EXPECT_EQ(entries[0].sourceFile, "platform_test");

    VqLogger* a = vqlogGetLogger("VQ.Test.Threshold");
    EXPECT_EQ(a, vqlogGetLogger("VQ.Test.Threshold"));
    vqlogSetLevel("VQ.Test", 3);
    a->log(2, "f", 1, "dropped");
    a->log(3, "f", 2, "kept");
    EXPECT_FALSE(capture.contains("dropped"));
    EXPECT_TRUE(capture.contains("kept", 3));
    // A prefix matches whole name parts only.
    EXPECT_EQ(vqlogGetLogger("VQ.Testing")->getLevel(), 1);
}

TEST(String, NullEmptyCaseAndUtf8NeverCut) {
    EXPECT_TRUE(VqbString().isNull());
    EXPECT_FALSE(VqbString("").isNull());
    EXPECT_EQ(VqbString().compare(VqbString("")), 0);
    EXPECT_FALSE(VqbString("Abc").equals("aBC", true));
    EXPECT_TRUE(VqbString("Abc").equals("aBC", false));
    EXPECT_EQ(VqbString("Hello World").find("WORLD", 0, false), 6);
    EXPECT_EQ(VqbString("  padded\t\r\n").trimmed().str(), "padded");
    EXPECT_EQ(VqbString("a'b'c").replaceAll("'", "''").str(), "a''b''c");

    VqbString s("a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z");  // a ä € 😀 z
    EXPECT_EQ(s.cStrSize(), 11u);
    EXPECT_EQ(s.length(), 5u);
    EXPECT_EQ(s.mid(1, 2).str(), "\xC3\xA4\xE2\x82\xAC");
    EXPECT_EQ(s.mid(3).str(), "\xF0\x9F\x98\x80z");
    EXPECT_EQ(s.left(100).str(), s.str());
    EXPECT_EQ(s.find("z"), 4);
    EXPECT_EQ(np_uchar_seek(s.asCstr() + 6), 4u);
    EXPECT_EQ(np_uchar_toint(s.asCstr() + 3), 0x20ACu);
    EXPECT_TRUE(np_uchar_isalpha("\xC3\xA4"));
    EXPECT_FALSE(np_uchar_isalpha("1abc"));
    EXPECT_TRUE(np_uchar_isspace("\xC2\xA0"));
}

TEST(String, ConversionsReportErrors) {
    bool err = true;
    EXPECT_EQ(VqbString(" 42 ").asInt(&err), 42);
    EXPECT_FALSE(err);
    EXPECT_EQ(VqbString("99999999999").asInt64(&err), 99999999999LL);
    EXPECT_FALSE(err);
    EXPECT_DOUBLE_EQ(VqbString("2.5e3").asDouble(&err), 2500.0);
    EXPECT_FALSE(err);
    EXPECT_TRUE(VqbString("TRUE").asBool(&err) && !err);
    EXPECT_FALSE(VqbString("off").asBool(&err) || err);
    for (const char* bad : {"42x", "", "99999999999"}) {  // the last does not fit 32 bits
        err = false;
        VqbString(bad).asInt(&err);
        EXPECT_TRUE(err) << bad;
    }
    VqbString("nan").asDouble(&(err = false));
    EXPECT_TRUE(err);
    VqbString("maybe").asBool(&(err = false));
    EXPECT_TRUE(err);
}

TEST(Datavar, SixtyFourBitIntegersRealTextsAndDates) {
    VqbDatavar big(static_cast<long long>(0x100000005LL));
    EXPECT_EQ(big.getType(), VQB_TYPE_INT);
    EXPECT_EQ(big.asInt64(), 0x100000005LL);
    EXPECT_EQ(big.asInt(), 5);
    EXPECT_EQ(VqbDatavar(0xFFFFFFFFu).asInt(), -1);
    EXPECT_EQ(VqbDatavar(200.0).asString().str(), "200");
    EXPECT_EQ(VqbDatavar(0.1).asString().str(), "0.1");
    EXPECT_TRUE(VqbDatavar(VqbString()).isNull());
    EXPECT_FALSE(VqbDatavar(VqbString("")).isNull());
    VqbDatavar n;
    n.setType(VQB_TYPE_STRING);
    EXPECT_TRUE(n.isNull());
    EXPECT_EQ(n.declaredType(), VQB_TYPE_STRING);

    EXPECT_DOUBLE_EQ(VqbDate::fromParts(1899, 12, 30).asDouble(), 0.0);
    EXPECT_DOUBLE_EQ(VqbDate::fromParts(2000, 1, 1, 12).asDouble(), 36526.5);
    EXPECT_EQ(VqbDate(36526.75).asString().str(), "2000-01-01 18:00:00");
    EXPECT_GT(VqbDate::currentDate().asDouble(), 46000.0);  // after 2025
    EXPECT_TRUE(VqbDate().isNull());
}

// Copies of a text value share its bytes: each copy must stay whole whatever happens to the
// others, on any thread.
TEST(Datavar, CopiesOfATextAreIndependentValues) {
    const std::string text("shared text long enough to live outside any small buffer\0 and after", 67);
    VqbDatavar original(text);
    VqbDatavar copy(original), assigned, temporary(original);
    VqbDatavar moved(std::move(temporary));
    assigned = copy;
    assigned = assigned;
    original.setType(VQB_TYPE_INT);
    copy = VqbDatavar(2.5);
    for (const VqbDatavar* v : {&assigned, &moved}) {
        EXPECT_EQ(v->getType(), VQB_TYPE_STRING);
        EXPECT_EQ(v->asString().str(), text);
        EXPECT_EQ(std::string(v->textData(), v->textSize()), text);
    }
    EXPECT_EQ(original.getType(), VQB_TYPE_INT);
    EXPECT_NE(assigned, VqbDatavar(text.substr(0, 20)));
    moved.setNull();
    EXPECT_EQ(assigned.asString().str(), text);

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&assigned] {
            for (int i = 0; i < 20000; ++i) {
                VqbDatavar a(assigned), b;
                b = a;
                a = std::move(b);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(assigned.asString().str(), text);
}

// Values are texts as written: "false" and non-boolean texts are kept for the caller to judge.
TEST(Config, AbsentEmptyFalseAndNonBooleanKeys) {
    TempDir dir;
    writeFile(dir.file("repos.ini"), "# comment\nOFF = false\nODD=sometimes\nEMPTY=\n[demo]\n; other\nkey=a=b\n");
    setenv("REPOSADMIN_CONFIG", dir.file("repos.ini").c_str(), 1);
    vqbConfigReload();
    unsetenv("REPOSADMIN_CONFIG");
    const std::pair<const char*, const char*> present[] = {{"OFF", "false"}, {"ODD", "sometimes"}, {"EMPTY", ""}};
    VqbString v("junk");
    ASSERT_NE(vqbGetConfigOptions(""), nullptr);
    for (const auto& [key, value] : present) {
        EXPECT_TRUE(vqbGetConfigOptions("")->get(key, v)) << key;
        EXPECT_EQ(v.str(), value);
    }
    EXPECT_FALSE(vqbGetConfigOptions("")->get("ABSENT", v));
    EXPECT_EQ(vqbConfigValue("ABSENT", "fallback").str(), "fallback");
    EXPECT_TRUE(vqbGetConfigOptions("demo")->get("key", v));
    EXPECT_EQ(v.str(), "a=b");
    vqbConfigReload();
}

// Each problem is told once on stderr with its file and line; the run goes on with the defaults
// (errors only on stderr, warnings too in a log file).
TEST(Config, ProblemsAreToldOnceWithFileAndLineAndDefaultsHold) {
    TempDir dir;
    const std::string ini = dir.file("repos.ini");
    const struct {
        const char* name;
        const char* text;  // null: no file at all
        std::vector<std::string> told;
        int level;  // a new logger's threshold afterwards
    } cases[] = {
        {"missing file", nullptr, {ini + " (REPOSADMIN_CONFIG) cannot be read"}, 5},
        {"clean, stderr", "# nothing wrong\n", {}, 5},
        {"clean, log file", "LOG/FILE=@/log.txt\n", {}, 4},
        {"clean, level", "LOG/LEVEL= 2\n", {}, 2},
        {"bad lines and levels", "[S]\nno equals sign\n=value\nLOG/LEVEL=abc\n",
         {ini + ":2: not a key=value line", ini + ":3: not a key=value line"}, 5},
        {"bad default level", "\nLOG/LEVEL=9\n", {ini + ":2: LOG/LEVEL=9 is not a level"}, 5},
        {"log folder missing", "LOG/LEVEL=abc\nLOG/FILE=@/none/log.txt\n",
         {ini + ":1: LOG/LEVEL=abc is not a level", ini + ":2: LOG/FILE=" + dir.file("none/log.txt") + " cannot be written"},
         5},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(ini);
        if (c.text) writeFile(ini, std::regex_replace(c.text, std::regex("@"), dir.path()));
        setenv("REPOSADMIN_CONFIG", ini.c_str(), 1);
        testing::internal::CaptureStderr();
        for (int reload = 0; reload < 2; ++reload) {
            vqbConfigReload();
            vqlogConfigure();
        }
        std::string err = testing::internal::GetCapturedStderr();
        for (const std::string& fragment : c.told) {
            size_t at = err.find(fragment);
            EXPECT_NE(at, std::string::npos) << fragment << " not in: " << err;
            EXPECT_EQ(err.find(fragment, at + 1), std::string::npos) << "told twice: " << fragment;
        }
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), static_cast<long>(c.told.size())) << err;
        EXPECT_EQ(vqlogGetLogger(("VQ.Cfg.Logger" + std::to_string(++n)).c_str())->getLevel(), c.level);
    }
    // A file that cannot be used is no log file: entries go to stderr.
    testing::internal::CaptureStderr();
    vqlogGetLogger("VQ.Cfg.Fallback")->log(5, "platform_test", __LINE__, "still told");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("still told"), std::string::npos);
    unsetenv("REPOSADMIN_CONFIG");
    vqbConfigReload();
    vqlogConfigure();
}

TEST(Lexer, QuotedValuesDoubledQuotesAndSyntaxErrors) {
    NpLexLine l;
    ASSERT_EQ(np_lex_split_text("'My ''repo'''='FILE=x;' '' 'F'", &l), NP_LEX_OK);
    EXPECT_EQ(l.names, (std::vector<std::string>{"My 'repo'"}));
    EXPECT_EQ(l.values, (std::vector<std::string>{"FILE=x;", "", "F"}));
    EXPECT_EQ(np_lex_split_text("'a'='unterminated", &l), NP_LEX_ESYNTAX);
    EXPECT_EQ(np_lex_split_text("'a'='b'='c'", &l), NP_LEX_ESYNTAX);
    ASSERT_EQ(np_lex_split_text("   \t", &l), NP_LEX_OK);
    EXPECT_TRUE(l.blank);

    TempDir dir;
    writeFile(dir.file("f"), "one\r\ntwo\nthree");
    NpLex* lex = nullptr;
    ASSERT_EQ(np_lex_init(&lex, dir.file("f").c_str()), NP_LEX_OK);
    int lines = 0;
    while (np_lex_line(lex) == NP_LEX_OK) ++lines;
    EXPECT_EQ(lines, 3);
    np_lex_clean(lex);
    EXPECT_EQ(np_lex_init(&lex, dir.file("missing").c_str()), NP_LEX_EOPEN);
}

TEST(Files, StatPcatListingsAndErrors) {
    TempDir dir;
    EXPECT_EQ(np_fio_stat(dir.file("none").c_str(), 0), unsigned(NP_FIO_ENOENT));
    writeFile(dir.file("plain"), "x");
    EXPECT_EQ(np_fio_stat(dir.file("plain/below").c_str(), 0), unsigned(NP_FIO_ENOTDIR));
    char buf[16];
    EXPECT_EQ(np_fio_pcat(buf, sizeof buf, "/a/long/directory", "name.xml"), unsigned(NP_FIO_ETOOLONG));
    NpFioFile* f = nullptr;
    EXPECT_EQ(np_fio_open(dir.file("missing/x").c_str(), NP_FIO_WRITE, &f), unsigned(NP_FIO_ENOENT));
    EXPECT_EQ(f, nullptr);
    EXPECT_STRNE(np_fio_errdesc(NP_FIO_ENOENT), "");

    for (const char* n : {"b.xml", "a.xml"}) writeFile(dir.file(n), "");
    VqbString err, name;
    auto listing = vqbDirectoryOpen(dir.path().c_str(), 0, err);
    ASSERT_TRUE(listing);
    std::vector<std::string> names;
    while (listing->next(name)) names.push_back(name.str());
    EXPECT_EQ(names, (std::vector<std::string>{"a.xml", "b.xml", "plain"}));
    EXPECT_FALSE(vqbDirectoryOpen(dir.file("none").c_str(), 0, err));
    EXPECT_FALSE(err.isEmpty());
}

// Random UUIDs come from a pool of kernel randomness: a forked child never repeats what its
// parent draws next.
TEST(Misc, ForkedChildDrawsUuidsOfItsOwn) {
    vqbNewUUID();
    int pipe_[2];
    ASSERT_EQ(pipe(pipe_), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string u = vqbNewUUID().str();
        ssize_t written = write(pipe_[1], u.data(), u.size());
        _exit(written == static_cast<ssize_t>(u.size()) ? 0 : 1);
    }
    std::string mine = vqbNewUUID().str();
    char theirs[36] = {};
    ssize_t got = read(pipe_[0], theirs, sizeof theirs);
    int status = 0;
    waitpid(child, &status, 0);
    close(pipe_[0]);
    close(pipe_[1]);
    ASSERT_EQ(got, 36);
    EXPECT_NE(std::string(theirs, 36), mine);
}

TEST(Misc, UuidsAreCanonicalAndDistinctPathsSplit) {
    // Random (version 4) UUIDs, distinct across many refills of their pool.
    std::regex canonical("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$");
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        std::string u = vqbNewUUID().str();
        ASSERT_TRUE(std::regex_match(u, canonical)) << u;
        seen.insert(u);
    }
    EXPECT_EQ(seen.size(), 2000u);
    VqbString d, f, e;
    vqbParsePath("/a/b/c.tar.xml", &d, &f, &e);
    EXPECT_EQ(d.str() + "|" + f.str() + "|" + e.str(), "/a/b|c.tar.xml|xml");
    EXPECT_EQ(vqbTypeFromString("nonsense"), 0);
}
