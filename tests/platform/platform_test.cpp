#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <set>

#include "np_fio.h"
#include "np_lex.h"
#include "np_osinf.h"
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
}

TEST(Format, PrecisionAndWidthCountCharactersNotBytes) {
    // "äö" is four bytes; a precision of 3 bytes must not split the second character.
    EXPECT_EQ(VqbString::format("[%.3s]", "\xC3\xA4\xC3\xB6").str(), "[\xC3\xA4]");
    EXPECT_EQ(VqbString::format("[%-4s]", "\xC3\xA4\xC3\xB6").str(), "[\xC3\xA4\xC3\xB6  ]");
}

TEST(Format, LogTextsWithPercentSignsAreWrittenLiterally) {
    LogCapture capture;
    VqLogger* logger = vqlogGetLogger("VQ.Test.Format");
    const char* hostile = "C:\\100%\\%s%S%n%d file";
    reposLog(logger, 5, "platform_test", __LINE__, "%s", hostile);
    reposLog(logger, 5, "platform_test", __LINE__, "%s", fmt("Open [%S] at %d%%", hostile, 3).c_str());
    auto entries = capture.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text, hostile);
    EXPECT_EQ(entries[1].text, std::string("Open [") + hostile + "] at 3%");
    EXPECT_EQ(entries[0].level, 5);
    EXPECT_EQ(entries[0].sourceFile, "platform_test");
}

TEST(Logger, ThresholdFiltersAndSameNameSameLogger) {
    LogCapture capture(1);
    VqLogger* a = vqlogGetLogger("VQ.Test.Threshold");
    EXPECT_EQ(a, vqlogGetLogger("VQ.Test.Threshold"));
    vqlogSetLevel("VQ.Test", 3);
    EXPECT_EQ(a->getLevel(), 3);
    a->log(2, "f", 1, "dropped");
    a->log(3, "f", 2, "kept");
    EXPECT_FALSE(capture.contains("dropped"));
    EXPECT_TRUE(capture.contains("kept", 3));
    // A prefix matches whole name parts only.
    VqLogger* other = vqlogGetLogger("VQ.Testing");
    EXPECT_EQ(other->getLevel(), 1);
}

TEST(String, NullEmptyAndCaseFlag) {
    VqbString null;
    VqbString empty("");
    EXPECT_TRUE(null.isNull());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(null.compare(empty), 0);
    EXPECT_FALSE(VqbString("Abc").equals("aBC", true));
    EXPECT_TRUE(VqbString("Abc").equals("aBC", false));
    EXPECT_LT(VqbString("abc").compare("abd", false), 0);
    EXPECT_EQ(VqbString("Hello World").find("WORLD", 0, false), 6);
    EXPECT_EQ(VqbString("Hello").find("x"), -1);
    VqbString s("  padded\t\r\n");
    EXPECT_EQ(s.trimmed().str(), "padded");
    EXPECT_EQ(VqbString("MiXeD").lowercase().str(), "mixed");
    EXPECT_EQ(VqbString("a'b'c").replaceAll("'", "''").str(), "a''b''c");
}

TEST(String, Utf8LengthsAndMidNeverCutACharacter) {
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
    bool err = false;
    EXPECT_EQ(VqbString(" 42 ").asInt(&err), 42);
    EXPECT_FALSE(err);
    VqbString("42x").asInt(&err);
    EXPECT_TRUE(err);
    VqbString("").asInt(&err);
    EXPECT_TRUE(err);
    VqbString("99999999999").asInt(&err);  // does not fit 32 bits
    EXPECT_TRUE(err);
    EXPECT_EQ(VqbString("99999999999").asInt64(&err), 99999999999LL);
    EXPECT_FALSE(err);
    EXPECT_DOUBLE_EQ(VqbString("2.5e3").asDouble(&err), 2500.0);
    EXPECT_FALSE(err);
    VqbString("nan").asDouble(&err);
    EXPECT_TRUE(err);
    EXPECT_TRUE(VqbString("TRUE").asBool(&err));
    EXPECT_FALSE(err);
    EXPECT_FALSE(VqbString("off").asBool(&err));
    EXPECT_FALSE(err);
    VqbString("maybe").asBool(&err);
    EXPECT_TRUE(err);
}

TEST(Datavar, SixtyFourBitIntegersAndLow32Bits) {
    VqbDatavar big(static_cast<long long>(0x100000005LL));
    EXPECT_EQ(big.getType(), VQB_TYPE_INT);
    EXPECT_EQ(big.asInt64(), 0x100000005LL);
    EXPECT_EQ(big.asInt(), 5);
    EXPECT_EQ(VqbDatavar(0xFFFFFFFFu).asInt(), -1);
    EXPECT_EQ(VqbDatavar("123").asInt64(), 123);
    EXPECT_EQ(VqbDatavar(2.0).asString().str(), "2");
    EXPECT_EQ(VqbDatavar(0.1).asString().str(), "0.1");
    EXPECT_EQ(VqbDatavar(200.0).asString().str(), "200");
    EXPECT_EQ(VqbDatavar(-3e20).asString().str(), "-3e+20");
    EXPECT_EQ(VqbDatavar(45000.25).asString().str(), "45000.25");
    EXPECT_TRUE(VqbDatavar(VqbString()).isNull());
    EXPECT_FALSE(VqbDatavar(VqbString("")).isNull());
    VqbDatavar n;
    n.setType(VQB_TYPE_STRING);
    EXPECT_TRUE(n.isNull());
    EXPECT_EQ(n.declaredType(), VQB_TYPE_STRING);
    VqbDatavar s("17");
    s.setType(VQB_TYPE_INT);
    EXPECT_EQ(s.getType(), VQB_TYPE_INT);
    EXPECT_EQ(s.asInt(), 17);
}

TEST(Date, DaysSinceTheEpochOfTheRepository) {
    EXPECT_DOUBLE_EQ(VqbDate::fromParts(1899, 12, 30).asDouble(), 0.0);
    EXPECT_DOUBLE_EQ(VqbDate::fromParts(1900, 1, 1).asDouble(), 2.0);
    EXPECT_DOUBLE_EQ(VqbDate::fromParts(2000, 1, 1, 12).asDouble(), 36526.5);
    EXPECT_EQ(VqbDate(36526.75).asString().str(), "2000-01-01 18:00:00");
    double now = VqbDate::currentDate().asDouble();
    EXPECT_GT(now, 46000.0);  // after 2025
    EXPECT_TRUE(VqbDate().isNull());
}

TEST(Config, FileSectionsCommentsAndUnavailable) {
    TempDir dir;
    writeFile(dir.file("repos.ini"),
              "# comment\nBASE/KORVANTE = true\nEMPTY=\n[REPOSITORY]\nPOOL_ID=p1\n; other\n[demo]\nkey=value=with=eq\n");
    setenv("REPOSADMIN_CONFIG", dir.file("repos.ini").c_str(), 1);
    vqbConfigReload();
    VqbString v;
    ASSERT_NE(vqbGetConfigOptions(""), nullptr);
    EXPECT_TRUE(vqbGetConfigOptions("")->get("BASE/KORVANTE", v));
    EXPECT_EQ(v.str(), "true");
    EXPECT_TRUE(vqbGetConfigOptions("")->get("EMPTY", v));
    EXPECT_TRUE(v.isEmpty());
    EXPECT_FALSE(vqbGetConfigOptions("")->get("ABSENT", v));
    EXPECT_TRUE(vqbGetConfigOptions("REPOSITORY")->get("POOL_ID", v));
    EXPECT_EQ(v.str(), "p1");
    EXPECT_TRUE(vqbGetConfigOptions("demo")->get("key", v));
    EXPECT_EQ(v.str(), "value=with=eq");
    vqbConfigSetUnavailable(true);
    EXPECT_EQ(vqbGetConfigOptions(""), nullptr);
    vqbConfigSetUnavailable(false);
    unsetenv("REPOSADMIN_CONFIG");
    vqbConfigReload();
    EXPECT_FALSE(vqbGetConfigOptions("")->get("BASE/KORVANTE", v));
}

TEST(Lexer, QuotedValuesDoubledQuotesAndSyntaxErrors) {
    NpLexLine l;
    ASSERT_EQ(np_lex_split_text("'My ''repo'''='FILE=x;' '' 'F'", &l), NP_LEX_OK);
    ASSERT_EQ(l.names.size(), 1u);
    EXPECT_EQ(l.names[0], "My 'repo'");
    ASSERT_EQ(l.values.size(), 3u);
    EXPECT_EQ(l.values[0], "FILE=x;");
    EXPECT_EQ(l.values[1], "");
    EXPECT_EQ(l.values[2], "F");
    ASSERT_EQ(np_lex_split_text("$defaultrepos = bare", &l), NP_LEX_OK);
    EXPECT_EQ(l.names[0], "$defaultrepos");
    EXPECT_EQ(l.values[0], "bare");
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

TEST(Files, StatPcatAndErrors) {
    TempDir dir;
    EXPECT_EQ(np_fio_stat(dir.file("none").c_str(), 0), unsigned(NP_FIO_ENOENT));
    writeFile(dir.file("plain"), "x");
    EXPECT_EQ(np_fio_stat(dir.file("plain").c_str(), 0), unsigned(NP_FIO_OK));
    EXPECT_EQ(np_fio_stat(dir.file("plain/below").c_str(), 0), unsigned(NP_FIO_ENOTDIR));
    char buf[16];
    EXPECT_EQ(np_fio_pcat(buf, sizeof buf, "/a", "b.xml"), unsigned(NP_FIO_OK));
    EXPECT_STREQ(buf, "/a/b.xml");
    EXPECT_EQ(np_fio_pcat(buf, sizeof buf, "/a/long/directory", "name.xml"), unsigned(NP_FIO_ETOOLONG));
    NpFioFile* f = nullptr;
    EXPECT_EQ(np_fio_open(dir.file("missing/x").c_str(), NP_FIO_WRITE, &f), unsigned(NP_FIO_ENOENT));
    EXPECT_EQ(f, nullptr);
    EXPECT_STRNE(np_fio_errdesc(NP_FIO_ENOENT), "");
}

TEST(Misc, UuidsPathsListingsTypeNamesUser) {
    std::regex canonical("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$");
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        VqbString u = vqbNewUUID();
        EXPECT_TRUE(std::regex_match(u.str(), canonical)) << u.str();
        seen.insert(u.str());
    }
    EXPECT_EQ(seen.size(), 100u);

    VqbString joined;
    vqbConcatPath(joined, "/etc/", "reposcreate");
    EXPECT_EQ(joined.str(), "/etc/reposcreate");
    VqbString d, f, e;
    vqbParsePath("/a/b/c.tar.xml", &d, &f, &e);
    EXPECT_EQ(d.str(), "/a/b");
    EXPECT_EQ(f.str(), "c.tar.xml");
    EXPECT_EQ(e.str(), "xml");

    TempDir dir;
    for (const char* n : {"b.xml", "a.xml", "c.txt"}) writeFile(dir.file(n), "");
    VqbString err;
    auto listing = vqbDirectoryOpen(dir.path().c_str(), 0, err);
    ASSERT_TRUE(listing);
    VqbString name;
    std::vector<std::string> names;
    while (listing->next(name)) names.push_back(name.str());
    EXPECT_EQ(names, (std::vector<std::string>{"a.xml", "b.xml", "c.txt"}));
    EXPECT_FALSE(vqbDirectoryOpen(dir.file("none").c_str(), 0, err));
    EXPECT_FALSE(err.isEmpty());

    for (int t = 1; t <= 5; ++t) EXPECT_EQ(vqbTypeFromString(vqbTypeToString(t)), t);
    EXPECT_EQ(vqbTypeFromString("INTEGER"), 2);
    EXPECT_EQ(vqbTypeFromString("nonsense"), 0);

    char user[256];
    np_osinf_user(user, sizeof user);
    EXPECT_STRNE(user, "");
}

TEST(Messages, FormattedAndUnknownNumbersStillSaySomething) {
    EXPECT_NE(reposMessage(1296, "/x.lst", 4).str().find("/x.lst"), std::string::npos);
    EXPECT_NE(reposMessage(1296, "/x.lst", 4).str().find("4"), std::string::npos);
    VqbString unknown = vqb_get_message("Nowhere", 99999);
    EXPECT_NE(unknown.str().find("99999"), std::string::npos);
}
