// Discovery of running supported applications, end to end through the export
// getAvailableApplications, against the office stand-in programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "support/OfficeFixture.h"
#include "VorlaNode.h"

using office::App;
using office::Options;

namespace {

struct Listed {
    std::optional<std::string> exeName, title;  // null pointers stay nullopt
};

// The export's entries for one process; the array goes back to releaseWindowData.
std::vector<Listed> listedFor(int processId) {
    int count = -1;
    VorlaNode::WindowData *windows = getAvailableApplications(&count);
    EXPECT_NE(windows, nullptr);
    std::vector<Listed> out;
    for (int i = 0; i < count; ++i) {
        if (windows[i].processId != processId) continue;
        Listed entry;
        if (windows[i].exeName) entry.exeName = windows[i].exeName;
        if (windows[i].title) entry.title = windows[i].title;
        out.push_back(entry);
    }
    releaseWindowData(windows);
    return out;
}

struct RecognitionCase {
    const char *name;
    std::string image;  // image name the stand-in runs under
    std::wstring className, title;
    bool listed;
    std::optional<std::string> listedTitle;  // UTF-8; nullopt for a null title
};

std::ostream &operator<<(std::ostream &out, const RecognitionCase &c) { return out << c.name; }

class Recognition : public ::testing::TestWithParam<RecognitionCase> {};

}  // namespace

TEST_P(Recognition, ListsWhatTheTableRecognises) {
    const RecognitionCase &c = GetParam();
    testsupport::TempDir copyDir("apps-image");
    std::filesystem::path exe = office::program(c.image);
    const std::vector<std::string> built = {"WINWORD.EXE", "EXCEL.EXE", "POWERPNT.EXE", "wps.exe"};
    if (std::find(built.begin(), built.end(), c.image) == built.end()) {
        // An image name spelt otherwise (file names do not tell case apart): a copy under that name.
        exe = copyDir.path() / c.image;
        std::filesystem::copy_file(office::program("WINWORD.EXE"), exe);
    }
    App app(exe, Options{{}, {{c.className, c.title}}});

    const std::vector<Listed> entries = listedFor(app.processId());
    if (!c.listed) {
        EXPECT_TRUE(entries.empty());
        return;
    }
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].exeName, c.image);
    EXPECT_EQ(entries[0].title, c.listedTitle);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Recognition,
    ::testing::Values(
        RecognitionCase{"Word", "WINWORD.EXE", L"OpusApp", L"Report", true, "Report"},
        RecognitionCase{"WordOtherClass", "WINWORD.EXE", L"OpusAppX", L"Report", false, {}},
        RecognitionCase{"LowerCaseImage", "winword.exe", L"OpusApp", L"Report", false, {}},
        RecognitionCase{"Excel", "EXCEL.EXE", L"XLMAIN", L"Book1", true, "Book1"},
        RecognitionCase{"PowerPointEmptyTitle", "POWERPNT.EXE", L"PPTFrameClass", L"", true, std::nullopt},
        RecognitionCase{"WpsWriter", "wps.exe", L"OpusApp", L"plan.docx - WPS", true, "plan.docx - WPS"},
        RecognitionCase{"WpsSheet", "wps.exe", L"XLMAIN", L"sums.xlsx", true, "sums.xlsx"},
        RecognitionCase{"WpsSlides", "wps.exe", L"PP12FrameClass", L"deck.pptx", true, "deck.pptx"},
        RecognitionCase{"WpsDocAndXlsOnce", "wps.exe", L"OpusApp", L"a.doc b.xls", true, "a.doc b.xls"},
        // Not in the ANSI code page of the test locale: read wide, listed as exact UTF-8.
        RecognitionCase{"WpsChineseWorkbook", "wps.exe", L"KxFrame", L"\u5DE5\u4F5C\u7C3F1", true,
                        "\xE5\xB7\xA5\xE4\xBD\x9C\xE7\xB0\xBF"
                        "1"},
        RecognitionCase{"WpsBooksTitle", "wps.exe", L"KxFrame", L"my books", true, "my books"},
        RecognitionCase{"WpsNoDocumentTitle", "wps.exe", L"OpusApp", L"notes.txt", false, {}},
        RecognitionCase{"PhotoshopTitleInOtherProcess", "EXCEL.EXE", L"Edit", L"Photoshop.exe", true, "Photoshop.exe"}),
    [](const ::testing::TestParamInfo<RecognitionCase> &test) { return std::string(test.param.name); });

TEST(Applications, OneEntryPerProcessTopmostVisibleWindow) {
    // "Doc B" is created last and so lies on top; the hidden window is never listed.
    App word(office::program("WINWORD.EXE"),
             Options{{}, {{L"OpusApp", L"Doc A"}, {L"OpusApp", L"Hidden doc", false}, {L"OpusApp", L"Doc B"}}});
    App hiddenOnly(office::program("EXCEL.EXE"), Options{{}, {{L"XLMAIN", L"Secret", false}}});

    const std::vector<Listed> entries = listedFor(word.processId());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].exeName, "WINWORD.EXE");
    EXPECT_EQ(entries[0].title, "Doc B");
    EXPECT_TRUE(listedFor(hiddenOnly.processId()).empty());
}

TEST(Applications, NothingRunningGivesAnEmptyArray) {
    int count = -1;
    VorlaNode::WindowData *windows = getAvailableApplications(&count);
    ASSERT_NE(windows, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(*reinterpret_cast<std::int64_t *>(reinterpret_cast<char *>(windows) - 8), 0);
    releaseWindowData(windows);
}
