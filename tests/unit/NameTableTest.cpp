// Name reader of the installation core, on generated sfnt fixtures and real fonts.
#include "interactive/win/FontUtil.h"
#include "support/SfntBuilder.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

using namespace sfnt;

namespace {

std::string familyNameOf(const std::string &bytes, const std::string &code = "cn") {
    std::istringstream in(bytes);
    return readFontFamilyName(in, code);
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
         {windowsName(kFullName, kWinEnglish, "Alpha Full"), windowsName(kFullName, kWinChineseSimplified, "阿尔法 全名"),
          windowsName(kFamily, kWinEnglish, "Alpha")},
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
        {"PostScript name as the last resort",
         {windowsName(kPostScript, kWinEnglish, "Delta-PS")},
         "Delta-PS"},
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
        {"Macintosh name ends at its first NUL",
         {macName(kFamily, kMacEnglish, std::string("Eta\0junk", 8))},
         "Eta"},
        {"first record of an ID wins within a platform",
         {windowsName(kFullName, kWinEnglish, "Theta One"), windowsName(kFullName, kWinEnglish, "Theta Two")},
         "Theta One"},
        {"Unicode-platform names are never selected",
         {{0, 3, 0, kFullName, utf16be(utf16Of("Iota"))}},
         ""},
    };
    for (const NameCase &c : cases) {
        EXPECT_EQ(familyNameOf(namesOnly(c.records)), c.expected) << c.what;
    }
}

TEST(NameTable, PrintsTheCountOfTheFirstAttempt) {
    const std::string english = namesOnly({windowsName(kFullName, kWinEnglish, "Only English")});
    testing::internal::CaptureStdout();
    EXPECT_EQ(familyNameOf(english), "Only English");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "------------------0\n");

    const std::string chinese =
        namesOnly({windowsName(kFullName, kWinChineseSimplified, "中文"), windowsName(kFamily, kWinChineseSimplified, "中")});
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
        {std::u16string{0xD800, u'a'}, "\xEF\xBF\xBD" "a"},              // lone high surrogate
        {std::u16string{u'b', 0xDC00}, "b\xEF\xBF\xBD"},                 // lone low surrogate
        {std::u16string{0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},    // reversed pair
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
        {"name record count beyond the file", patched16(nameOffset + 2, 0xFFFF), "Lambda Full"},
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
        std::vector<FontName> names;
        ASSERT_NO_THROW(names = readNameRecords(in, readTableDirectory(in))) << "round " << round;
        ASSERT_LE(names.size(), 65535u);
        // Every text comes from bytes inside the file: at most 3 UTF-8 bytes per stored byte.
        for (const FontName &n : names) ASSERT_LE(n.text.size(), 3 * bytes.size()) << "round " << round;
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
