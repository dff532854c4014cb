// Name reader of the installation core, on generated sfnt fixtures and real fonts.
#include "common/Status.h"
#include "interactive/win/FontUtil.h"
#include "support/CoreFixtures.h"
#include "support/SfntBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

using namespace sfnt;

namespace {

std::string familyNameOf(const std::string &bytes, const std::string &code = "cn") {
    std::istringstream in(bytes);
    return readFontFamilyName(in, code);
}

// Naming table of a hostile file: count records of the names the reader uses, each
// claiming 65,535 bytes at a storage offset inside the records, so that strings overlap
// each other and the records.
std::string hostileNameTable(std::uint32_t count, std::uint32_t storage = 6) {
    std::string table;
    put16(table, 0);
    put16(table, count);
    put16(table, storage);
    const std::uint16_t ids[] = {kFamily, kFullName, kPostScript};
    const std::uint16_t languages[] = {kWinEnglish, kWinChineseSimplified, kWinJapanese};
    for (std::uint32_t i = 0; i < count; ++i) {
        put16(table, 3);
        put16(table, 1);
        put16(table, languages[i / 3 % 3]);
        put16(table, ids[i % 3]);
        put16(table, 0xFFFF);
        put16(table, (i * 2) & 0xFFFF);
    }
    return table;
}

// A table whose strings are all well placed (after the records) but overlap in one
// 65,535-byte storage: every record is valid, so only the cap on kept names bounds the work.
std::string overlappingNameTable(std::uint32_t count) {
    std::string table = hostileNameTable(count, 6 + 12 * count);
    for (std::uint32_t i = 0; i < count; ++i) table.replace(6 + 12 * i + 8, 4, std::string("\x80\x00\x00\x00", 4));
    std::u16string storage(0x8000, u'A');
    return table + utf16be(storage);
}

struct NameCase {
    const char *what;
    std::vector<NameRecord> records;
    std::string expected;
};

}  // namespace

TEST(NameTable, ChoosesLanguageBeforeNameId) {
    const std::vector<NameCase> cases = {
        {"Chinese full name over English",
         {windowsName(kFullName, kWinEnglish, "Alpha Full"),
          windowsName(kFullName, kWinChineseSimplified, "阿尔法 全名"), windowsName(kFamily, kWinEnglish, "Alpha")},
         "阿尔法 全名"},
        {"Chinese family beats English full name",
         {windowsName(kFullName, kWinEnglish, "Beta Full"), windowsName(kFamily, kWinChineseSimplified, "贝塔")},
         "贝塔"},
        {"Macintosh Chinese beats Windows Chinese",
         {windowsName(kFullName, kWinChineseSimplified, "视窗名"),
          macName(kFullName, kMacChineseSimplified, "\xC6\xBB\xB9\xFB", 25)},  // "苹果" in code page 936
         "苹果"},
        {"English only: full, then family, then PostScript",
         {windowsName(kPostScript, kWinEnglish, "Gamma-PS"), windowsName(kFamily, kWinEnglish, "Gamma")},
         "Gamma"},
        {"PostScript name as the last resort", {windowsName(kPostScript, kWinEnglish, "Delta-PS")}, "Delta-PS"},
        {"Japanese when there is neither Chinese nor English",
         {windowsName(kFullName, kWinJapanese, "イプシロン"), windowsName(kFullName, kWinGerman, "Epsilon DE")},
         "イプシロン"},
        {"other languages only: no name",
         {windowsName(kFullName, kWinGerman, "Zeta DE"), windowsName(kFamily, 0x040C, "Zeta FR")},
         ""},
        {"Macintosh Roman decodes as Mac Roman, not the ANSI code page",
         {macName(kFullName, kMacEnglish, "Caf\x8E \xA5")},  // é and bullet in Mac Roman
         "Café •"},
        {"Macintosh Japanese",
         {macName(kFullName, kMacJapanese, "\x83\x65\x83\x58\x83\x67", 1)},  // テスト in code page 932
         "テスト"},
        {"Macintosh Korean", {macName(kFullName, kMacEnglish, "\xC7\xD1\xB1\xDB", 3)}, "한글"},  // code page 949
        {"Macintosh Traditional Chinese",
         {macName(kFullName, kMacEnglish, "\xA4\xA4\xA4\xE5", 2)},  // code page 950
         "中文"},
        {"Macintosh name ends at its first NUL", {macName(kFamily, kMacEnglish, std::string("Eta\0junk", 8))}, "Eta"},
        {"first record of an ID wins within a platform",
         {windowsName(kFullName, kWinEnglish, "Theta One"), windowsName(kFullName, kWinEnglish, "Theta Two")},
         "Theta One"},
        {"Unicode-platform names are never selected", {{0, 3, 0, kFullName, utf16be(utf16Of("Iota"))}}, ""},
    };
    for (const NameCase &c : cases) {
        EXPECT_EQ(familyNameOf(namesOnly(c.records)), c.expected) << c.what;
    }
}

// A language is chosen when it has a record of any name ID; only then are the full name,
// family and PostScript name tried. Beside that choice: the PostScript name from any
// record (language order first) and the subfamily of the chosen language, else English.
TEST(NameTable, ChoosesTheLanguageByAnyNameItHas) {
    struct Case {
        const char *what;
        std::vector<NameRecord> records;
        std::string code;
        std::string countLine, language, name, postScript, subfamily;
    };
    std::vector<NameRecord> chineseZeroToSix;
    for (std::uint16_t id = 0; id <= 6; ++id)
        chineseZeroToSix.push_back(windowsName(id, kWinChineseSimplified, "中文 " + std::to_string(id)));
    const std::vector<Case> cases = {
        {"English style name only: English chosen, no name, so the caller's family",
         {windowsName(kPostScript, kWinJapanese, "Nihon-PS"), windowsName(kSubfamily, kWinEnglish, "Bold")},
         "cn",
         "------------------0\n",
         "en",
         "",
         "Nihon-PS",
         "Bold"},
        {"seven Chinese name IDs are counted", chineseZeroToSix, "cn", "------------------7\n", "cn", "中文 4",
         "中文 6", "中文 2"},
        {"Chinese copyright only: Chinese chosen, the English full name is not used",
         {windowsName(0, kWinChineseSimplified, "版权"), windowsName(kFullName, kWinEnglish, "Omicron Full")},
         "cn",
         "------------------1\n",
         "cn",
         "",
         "",
         ""},
        {"an ID counts once over both platforms",
         {macName(kFamily, kMacChineseSimplified, "\xC6\xBB", 25), windowsName(kFamily, kWinChineseSimplified, "视"),
          windowsName(kFamily, kWinChineseSimplified, "视二"), windowsName(kSubfamily, kWinEnglish, "Italic")},
         "cn",
         "------------------1\n",
         "cn",
         "苹",
         "",
         "Italic"},
        {"family of one language, subfamily and PostScript name of others",
         {windowsName(kPostScript, kWinGerman, "Deutsch-PS"), windowsName(kFamily, kWinChineseSimplified, "霞鹜文楷"),
          windowsName(kFullName, kWinEnglish, "LXGW WenKai Bold"), windowsName(kSubfamily, kWinEnglish, "Bold"),
          windowsName(kPostScript, kWinEnglish, "LXGWWenKai-Bold")},
         "cn",
         "------------------1\n",
         "cn",
         "霞鹜文楷",
         "LXGWWenKai-Bold",
         "Bold"},
        {"subfamily of the chosen language before English; Macintosh PostScript name first",
         {windowsName(kSubfamily, kWinEnglish, "Bold"), windowsName(kSubfamily, kWinChineseSimplified, "粗体"),
          windowsName(kPostScript, kWinJapanese, "Win-PS"), macName(kPostScript, kMacJapanese, "Mac-PS", 1)},
         "cn",
         "------------------1\n",
         "cn",
         "",
         "Mac-PS",
         "粗体"},
        {"PostScript name of another language when the three have none",
         {windowsName(kFamily, kWinEnglish, "Pi"),
          {0, 3, 0, kPostScript, utf16be(u"Unicode-PS")},
          windowsName(kPostScript, 0x040C, "Francais-PS"),
          windowsName(kPostScript, kWinGerman, "Deutsch-PS")},
         "cn",
         "------------------0\n",
         "en",
         "Pi",
         "Francais-PS",
         ""},
        {"\"en\" has no fallback and prints nothing",
         {windowsName(kFullName, kWinJapanese, "ロー"), windowsName(kPostScript, kWinJapanese, "Rho-PS")},
         "en",
         "",
         "",
         "",
         "Rho-PS",
         ""},
        {"an unknown code falls back from English on",
         {windowsName(kFullName, kWinJapanese, "シグマ"), windowsName(kFullName, kWinChineseSimplified, "西格玛")},
         "de",
         "------------------0\n",
         "jp",
         "シグマ",
         "",
         ""},
    };
    for (const Case &c : cases) {
        std::istringstream in(namesOnly(c.records));
        testing::internal::CaptureStdout();
        const FontNames names = readFontNames(in, c.code);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.countLine) << c.what;
        EXPECT_EQ(names.language, c.language) << c.what;
        EXPECT_EQ(names.name, c.name) << c.what;
        EXPECT_EQ(names.postScriptName, c.postScript) << c.what;
        EXPECT_EQ(names.subfamily, c.subfamily) << c.what;
        std::istringstream again(namesOnly(c.records));
        testing::internal::CaptureStdout();
        EXPECT_EQ(readFontFamilyName(again, c.code), c.name) << c.what;
        testing::internal::GetCapturedStdout();
    }
}

TEST(NameTable, PrintsTheCountOfTheFirstAttempt) {
    const std::string english = namesOnly({windowsName(kFullName, kWinEnglish, "Only English")});
    testing::internal::CaptureStdout();
    EXPECT_EQ(familyNameOf(english), "Only English");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "------------------0\n");

    const std::string chinese = namesOnly(
        {windowsName(kFullName, kWinChineseSimplified, "中文"), windowsName(kFamily, kWinChineseSimplified, "中")});
    testing::internal::CaptureStdout();
    EXPECT_EQ(familyNameOf(chinese), "中文");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "------------------2\n");

    testing::internal::CaptureStdout();
    EXPECT_EQ(familyNameOf(english, "en"), "Only English");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // "en" asks no fallback
}

TEST(NameTable, DecodesUtf16IntoWellFormedUtf8) {
    struct Case {
        std::u16string units;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {u"\U0002000B\U0001F600x", "\xF0\xA0\x80\x8B\xF0\x9F\x98\x80x"},  // pairs: one 4-byte sequence each
        {std::u16string{0xD800, u'a'},
         "\xEF\xBF\xBD"
         "a"},                                                         // lone high surrogate
        {std::u16string{u'b', 0xDC00}, "b\xEF\xBF\xBD"},               // lone low surrogate
        {std::u16string{0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // reversed pair
        {u"\u00E9\u4E2D", "\xC3\xA9\xE4\xB8\xAD"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(familyNameOf(namesOnly({windowsUnits(kFullName, kWinEnglish, c.units)})), c.expected);
    }
    // A trailing odd byte is dropped.
    NameRecord odd = windowsName(kFullName, kWinEnglish, "Kappa");
    odd.bytes += 'Z';
    EXPECT_EQ(familyNameOf(namesOnly({odd})), "Kappa");
}

// A file declaring tens of thousands of overlapping 64 KiB strings costs the reader no
// more than its size: strings that overlap the records are refused, and of valid ones
// only the first of each name the language preference uses is decoded.
TEST(NameTable, HostileTablesCostNoMoreThanTheirSize) {
    struct Case {
        const char *what;
        std::string table;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"20,000 records, strings over the records", hostileNameTable(20000), ""},
        {"65,535 records, strings over the records", hostileNameTable(65535), ""},
        {"5,000 valid records over one storage", overlappingNameTable(5000), std::string(0x4000, 'A')},
    };
    for (const Case &c : cases) {
        const std::string bytes = font({{"name", c.table}});
        std::istringstream in(bytes);
        // At most the three texts of the result are decoded, each from one string.
        const FontNames names = readFontNames(in, "en");
        EXPECT_LE(names.name.size() + names.postScriptName.size() + names.subfamily.size(), 3u * 0xFFFF * 3) << c.what;
        EXPECT_EQ(familyNameOf(bytes, "en"), c.expected) << c.what;
    }
}

TEST(NameTable, WindowsNamesEndAtTheirFirstNul) {
    const std::vector<NameCase> cases = {
        {"full name", {windowsUnits(kFullName, kWinEnglish, std::u16string(u"X\0Evil", 6))}, "X"},
        {"NUL first", {windowsUnits(kFullName, kWinEnglish, std::u16string(u"\0Evil", 5))}, ""},
        {"Macintosh, as before", {macName(kFullName, kMacEnglish, std::string("Mac\0Evil", 8))}, "Mac"},
    };
    for (const NameCase &c : cases) EXPECT_EQ(familyNameOf(namesOnly(c.records)), c.expected) << c.what;
}

// The same two faults through the whole install path, on the platform: hostile names
// install under the caller's family; "X\0Evil" gets the suffix after "X".
TEST(NameTable, HostileNamesInstallUnderSafeEntryNames) {
    const std::string folder = corefix::scratchFolder("install-hostile-names");
    auto withNameTable = [](const std::string &table) {
        std::vector<Table> tables = tablesOf(corefix::dejaVuWithNames({}));
        for (Table &t : tables) {
            if (t.tag == "name") t.data = table;
        }
        return font(tables);
    };
    struct Case {
        const char *what;
        std::string bytes;
        std::string caller, valueName, wrongName;
    };
    const std::vector<Case> cases = {
        {"20,000 hostile records", withNameTable(hostileNameTable(20000)), "VorlaHostile A",
         "VorlaHostile A (TrueType)", ""},
        {"65,535 hostile records", withNameTable(hostileNameTable(65535)), "VorlaHostile B",
         "VorlaHostile B (TrueType)", ""},
        {"embedded NUL",
         corefix::dejaVuWithNames({windowsUnits(kFullName, kWinEnglish, std::u16string(u"VorlaNul\0Evil", 13))}),
         "ignored", "VorlaNul (TrueType)", "VorlaNul"},
    };
    for (const Case &c : cases) {
        const std::string source = folder + "\\" + c.caller + ".ttf";
        corefix::writeFile(source, c.bytes);
        EXPECT_EQ(installFontEntry(c.caller, source), Status::kDone) << c.what;
        const corefix::RawValue value = corefix::readRawFontValue(HKEY_CURRENT_USER, c.valueName);
        EXPECT_TRUE(value.exists) << c.what;
        if (!c.wrongName.empty()) {
            EXPECT_FALSE(corefix::readRawFontValue(HKEY_CURRENT_USER, c.wrongName).exists) << c.what;
        }
        if (value.exists) {
            removeFontResource(value.text);
            std::error_code ec;
            std::filesystem::remove(vorla::utf8ToWide(value.text), ec);
        }
        corefix::deleteRawFontValue(HKEY_CURRENT_USER, c.valueName);
    }
}

TEST(NameTable, NonFontsAndDamagedTablesYieldFewerNamesSafely) {
    const std::string good = namesOnly(
        {windowsName(kFamily, kWinEnglish, "Lambda"), windowsName(kFullName, kWinEnglish, "Lambda Full")});
    // Directory entry of the name table and the naming table's own header.
    const size_t nameOffset = get32(good, 12 + 8);

    auto patched16 = [&](size_t at, std::uint32_t value) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(value >> 8);
        bytes[at + 1] = static_cast<char>(value);
        return bytes;
    };
    auto patched32 = [&](size_t at, std::uint32_t value) {
        std::string bytes = patched16(at, value >> 16);
        bytes[at + 2] = static_cast<char>(value >> 8);
        bytes[at + 3] = static_cast<char>(value);
        return bytes;
    };
    struct Case {
        const char *what;
        std::string bytes;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"empty file", "", ""},
        {"plain text", "This is not a font at all, just some text.\n", ""},
        {"font collection header", "ttcf" + std::string(60, '\x01'), ""},
        {"well formed", good, "Lambda Full"},
        {"table count beyond the file", patched16(4, 0xFFFF), "Lambda Full"},
        {"name table offset beyond the file", patched32(12 + 8, 0xFFFFFFF0), ""},
        // Records that run past the table would overlap the strings: no usable names.
        {"name record count beyond the table", patched16(nameOffset + 2, 0xFFFF), ""},
        {"string storage beyond the file", patched16(nameOffset + 4, 0xFFFF), ""},
        {"string length beyond the file", patched16(nameOffset + 6 + 12 + 8, 0xFFFF), "Lambda"},
        {"cut in the middle of the second string", good.substr(0, good.size() - 4), "Lambda"},
        {"cut in the middle of the records", good.substr(0, nameOffset + 6 + 12 + 5), ""},
        {"cut in the directory", good.substr(0, 20), ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(familyNameOf(c.bytes), c.expected) << c.what;
    }
}

// Thousands of randomly corrupted fonts (fixed seed): the reader never throws, never
// reads past the end (each name comes from bytes inside the file) and always returns.
TEST(NameTable, SurvivesRandomCorruption) {
    const std::string base = namesOnly({
        windowsName(kFamily, kWinEnglish, "Mutant"),
        windowsName(kFullName, kWinChineseSimplified, "变异体 常规"),
        windowsUnits(kFullName, kWinJapanese, u"\U0001F600\xD800"),
        macName(kFullName, kMacEnglish, "Mac Mutant"),
        macName(kFamily, kMacChineseSimplified, "\xC6\xBB", 25),
    });
    std::mt19937 random(20261209);
    int named = 0;
    testing::internal::CaptureStdout();  // one "------------------N" line per round
    for (int round = 0; round < 20000; ++round) {
        std::string bytes = base;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i) {
            // Mostly hit the headers and records, where the offsets and counts live.
            const size_t span = random() % 4 == 0 ? bytes.size() : std::min<size_t>(bytes.size(), 120);
            bytes[random() % span] = static_cast<char>(random());
        }
        if (random() % 3 == 0) bytes.resize(random() % (bytes.size() + 1));
        std::istringstream in(bytes);
        FontNames names;
        ASSERT_NO_THROW(names = readFontNames(in, "cn")) << "round " << round;
        // Every text comes from bytes inside the file: at most 3 UTF-8 bytes per stored byte.
        for (const std::string *text : {&names.name, &names.postScriptName, &names.subfamily})
            ASSERT_LE(text->size(), 3 * bytes.size()) << "round " << round;
        std::istringstream again(bytes);
        std::string name;
        ASSERT_NO_THROW(name = readFontFamilyName(again, "cn"));
        if (!name.empty()) ++named;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_GT(named, 0);  // the corruption leaves some fonts readable: the loop did real work
}

TEST(NameTable, ReadsRealFonts) {
    struct Case {
        const char *file;
        const char *expected;
    };
    const Case cases[] = {{"DejaVuSans.ttf", "DejaVu Sans"},
                          {"DejaVuSans-Bold.ttf", "DejaVu Sans Bold"},
                          {"DejaVuSansMono-Oblique.ttf", "DejaVu Sans Mono Oblique"}};
    for (const Case &c : cases) {
        std::istringstream in(readBinary(std::string("Z:\\usr\\share\\fonts\\truetype\\dejavu\\") + c.file));
        testing::internal::CaptureStdout();
        EXPECT_EQ(readFontFamilyName(in, "cn"), c.expected) << c.file;
        testing::internal::GetCapturedStdout();
    }
}

// ---------------------------------------------------------------------------------------
// Collections.
namespace {

// An input stream over bytes that counts the bytes the reader takes from it.
class CountingStream : public std::istream {
public:
    explicit CountingStream(const std::string &bytes) : std::istream(nullptr), buffer_(bytes) { rdbuf(&buffer_); }
    std::streamsize taken() const { return buffer_.taken; }

private:
    struct Buffer : std::stringbuf {
        explicit Buffer(const std::string &bytes) : std::stringbuf(bytes, std::ios::in) {}
        std::streamsize taken = 0;
        std::streamsize xsgetn(char *s, std::streamsize n) override {
            const std::streamsize got = std::stringbuf::xsgetn(s, n);
            taken += got;
            return got;
        }
        int_type uflow() override {
            const int_type c = std::stringbuf::uflow();
            if (c != traits_type::eof()) ++taken;
            return c;
        }
    };
    Buffer buffer_;
};

// A face with only a naming table: an English full name (when given) and a PostScript name.
std::string face(const std::string &fullName, const std::string &postScript, std::vector<NameRecord> more = {}) {
    std::vector<NameRecord> records = std::move(more);
    if (!fullName.empty()) records.push_back(windowsName(kFullName, kWinEnglish, fullName));
    if (!postScript.empty()) records.push_back(windowsName(kPostScript, kWinEnglish, postScript));
    return namesOnly(records);
}

// A collection whose later faces are the first face again (one offset table listed twice), or
// whose second face's directory points at the first face's naming table.
std::string withFaceListedTwice(std::string bytes) {
    for (size_t i = 1; i < collectionFaces(bytes).size(); ++i) bytes.replace(12 + 4 * i, 4, bytes.substr(12, 4));
    return bytes;
}
std::string withSharedNameTable(std::string bytes) {
    const std::vector<std::uint32_t> faces = collectionFaces(bytes);
    // Each face of namesOnly has one directory record, the naming table's, at face + 12.
    bytes.replace(faces[1] + 12 + 8, 8, bytes.substr(faces[0] + 12 + 8, 8));
    return bytes;
}

}  // namespace

// Each face's name by the single font's rule, in the collection's order, repeats dropped,
// joined with " & "; the PostScript name of each face; one count line per naming table read.
TEST(NameTable, ReadsCollections) {
    struct Case {
        const char *what;
        std::string bytes;
        std::string name;
        std::vector<std::string> postScripts;
        int countLines;
    };
    const std::string chinese = namesOnly({windowsName(kFullName, kWinChineseSimplified, "宋体"),
                                           windowsName(kFullName, kWinEnglish, "SimSun"),
                                           windowsName(kPostScript, kWinEnglish, "SimSun")});
    const std::string japaneseOnly = namesOnly(
        {windowsName(kFullName, kWinJapanese, "ゴシック"), windowsName(kPostScript, kWinJapanese, "Goth")});
    const std::vector<Case> cases = {
        {"two faces",
         collection({face("Alpha", "Alpha-R"), face("Alpha Mono", "AlphaMono-R")}),
         "Alpha & Alpha Mono",
         {"Alpha-R", "AlphaMono-R"},
         2},
        {"three faces, each in its own language",
         collection({chinese, face("NSimSun", "NSimSun"), japaneseOnly}, 2),
         "宋体 & NSimSun & ゴシック",
         {"SimSun", "NSimSun", "Goth"},
         3},
        {"a face without names is left out",
         collection({face("Beta", "Beta-R"), face("", ""), face("Beta Two", "BetaTwo")}),
         "Beta & Beta Two",
         {"Beta-R", "", "BetaTwo"},
         3},
        {"faces sharing one name: the repeat is dropped",
         collection({face("Gamma", "Gamma-R"), face("Gamma", "Gamma-B"), face("Gamma Sans", "GammaSans")}),
         "Gamma & Gamma Sans",
         {"Gamma-R", "Gamma-B", "GammaSans"},
         3},
        {"no face gives a name", collection({face("", "")}), "", {""}, 1},
        {"a face listed twice is read once",
         withFaceListedTwice(collection({face("Delta", "Delta-R"), face("Other", "Other")})),
         "Delta",
         {"Delta-R"},
         1},
        {"two faces of one naming table: decoded once",
         withSharedNameTable(collection({face("Eps", "Eps-R"), face("Other", "Other")})),
         "Eps",
         {"Eps-R", "Eps-R"},
         1},
        {"version 3 is not read",
         [] {
             std::string bytes = collection({face("Zeta", "Zeta-R")});
             bytes[5] = 3;
             return bytes;
         }(),
         "",
         {},
         0},
        {"no faces", collection({}), "", {}, 0},
        {"cut in the second offset: one face, beyond the end",
         collection({face("Eta", "Eta-R"), face("Theta", "Theta-R")}).substr(0, 18),
         "",
         {""},
         1},
    };
    for (const Case &c : cases) {
        std::istringstream in(c.bytes);
        std::ostringstream lines;
        const FontNames names = readFontNames(in, "cn", &lines);
        EXPECT_TRUE(names.collection) << c.what;
        EXPECT_EQ(names.name, c.name) << c.what;
        EXPECT_EQ(names.facePostScriptNames, c.postScripts) << c.what;
        const std::string printed = lines.str();
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), c.countLines) << c.what;
        EXPECT_EQ(names.postScriptName, "") << c.what;
    }
}

// A hostile collection costs no more than its size: at most 1,024 faces, each naming table read
// and decoded once per offset, and all the reads together never more bytes than the file holds.
TEST(NameTable, HostileCollectionsCostNoMoreThanTheirSize) {
    // 0xFFFFFFFF faces declared, 4,096 listed, every one the same face of a hostile naming table.
    std::string sameFace = "ttcf";
    put16(sameFace, 1);
    put16(sameFace, 0);
    put32(sameFace, 0xFFFFFFFF);
    const std::uint32_t faceAt = 12 + 4 * 4096;
    for (int i = 0; i < 4096; ++i) put32(sameFace, faceAt);
    sameFace += font({{"name", hostileNameTable(65535)}}, 0x00010000, faceAt);
    // 2,000 faces (1,024 read) with one-table directories one after another, each naming a table
    // at its own offset that runs to the end of the file: 2,000 overlapping naming tables.
    std::string overlapping = "ttcf";
    put16(overlapping, 1);
    put16(overlapping, 0);
    put32(overlapping, 2000);
    const std::uint32_t start = 12 + 4 * 2000;
    for (std::uint32_t i = 0; i < 2000; ++i) put32(overlapping, start + 28 * i);
    for (std::uint32_t i = 0; i < 2000; ++i) {
        std::string dir;
        put32(dir, 0x00010000);
        put16(dir, 1);
        put16(dir, 0);
        put16(dir, 0);
        put16(dir, 0);
        dir += "name";
        put32(dir, 0);
        put32(dir, start + i);  // the next face's directory, the records and everything after it
        put32(dir, 0xFFFFFFFF);
        overlapping += dir;
    }
    overlapping += overlappingNameTable(5000);

    for (const std::string *bytes : {&sameFace, &overlapping}) {
        CountingStream in(*bytes);
        std::ostringstream lines;
        const FontNames names = readFontNames(in, "cn", &lines);
        EXPECT_LE(in.taken(), static_cast<std::streamsize>(bytes->size()));
        EXPECT_LE(names.facePostScriptNames.size(), kMostCollectionFaces);
        EXPECT_LE(names.name.size(), 3 * bytes->size());
    }
    CountingStream in(sameFace);
    std::ostringstream lines;
    EXPECT_EQ(readFontNames(in, "cn", &lines).facePostScriptNames.size(), 1u);
    EXPECT_EQ(lines.str(), "------------------0\n");  // one naming table, decoded once
}
