// Text conversions: the UTF-8/UTF-16 core and its platform forms.
#include "common/Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>

using namespace vorla;

TEST(Text, Utf8AndUtf16RoundTripAndReplaceWhatIsInvalid) {
    struct Case {
        const char *what;
        std::string utf8;
        std::u16string utf16;
        bool roundTrip;
    };
    const std::vector<Case> cases = {
        {"ASCII", "Arial 24", u"Arial 24", true},
        {"two and three bytes", "Caf\xC3\xA9 \xE5\xAE\x8B", u"Caf\u00E9 \u5B8B", true},
        {"outside the basic plane", "\xF0\x9F\x98\x80x", u"\U0001F600x", true},
        {"embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3), true},
        {"stray continuation and 0xFF",
         "a\x80"
         "b\xFF",
         u"a\uFFFDb\uFFFD", false},
        {"cut short at the end", "ab\xE5\xAE", u"ab\uFFFD\uFFFD", false},
        {"cut short before ASCII",
         "\xE5\xAE"
         "c",
         u"\uFFFD\uFFFDc", false},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD", false},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.what;
        EXPECT_EQ(utf8ToWide(c.utf8), std::wstring(c.utf16.begin(), c.utf16.end())) << c.what;
        if (c.roundTrip) {
            EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8) << c.what;
            EXPECT_EQ(wideToUtf8(std::wstring(c.utf16.begin(), c.utf16.end())), c.utf8) << c.what;
        }
    }
    // Lone surrogates on the UTF-16 side.
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xDC00, 0xD800, u'a', 0xD800}),
              "\xEF\xBF\xBD\xEF\xBF\xBD"
              "a\xEF\xBF\xBD");
    // Big-endian bytes: pairs join, an odd last byte is dropped.
    EXPECT_EQ(utf16BeToUtf8(std::string("\xD8\x3D\xDE\x00\x00"
                                        "A"
                                        "Z",
                                        7)),
              "\xF0\x9F\x98\x80"
              "A");
}

TEST(Text, RefusesTextsOfTwoGibibytesInsteadOfCuttingThem) {
    // The views only claim the size: the refusal comes before anything is read.
    const std::string small(16, 'x');
    const std::string_view huge(small.data(), kMaxTextSize);
    EXPECT_THROW(utf8ToWide(huge), std::length_error);
    EXPECT_THROW(utf8ToUtf16(huge), std::length_error);
    const std::wstring wsmall(16, L'x');
    EXPECT_THROW(wideToUtf8(std::wstring_view(wsmall.data(), kMaxTextSize)), std::length_error);
    EXPECT_NO_THROW(checkTextSize(kMaxTextSize - 1));
}

TEST(Text, CodePageForms) {
    ASSERT_EQ(GetACP(), 1252u) << "the default test locale maps to the Western code page";
    EXPECT_EQ(codePageToUtf8(10000, "Caf\x8E \xA5"), "Caf\xC3\xA9 \xE2\x80\xA2");      // Mac Roman
    EXPECT_EQ(codePageToUtf8(936, std::string("\xC6\xBB\0tail", 7)), "\xE8\x8B\xB9");  // ends at the NUL
    EXPECT_EQ(codePageToUtf8(1252, ""), "");
    std::string ansi = "unchanged";
    EXPECT_TRUE(wideToAnsi(L"Caf\u00E9", ansi));
    EXPECT_EQ(ansi, "Caf\xE9");
    ansi = "unchanged";
    EXPECT_FALSE(wideToAnsi(L"\u5B8B\u4F53", ansi));  // no exact form in code page 1252
    EXPECT_EQ(ansi, "unchanged");
    EXPECT_TRUE(wideToAnsi(L"", ansi));
    EXPECT_EQ(ansi, "");
}
