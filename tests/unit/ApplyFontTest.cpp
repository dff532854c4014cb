// Applying a font to the selection of a running application, end to end through
// the export applyFontForApplication, against the office stand-in programs that
// record every automation call they receive.
#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "support/OfficeFixture.h"
#include "VorlaNode.h"

using office::App;
using office::Options;
using Calls = std::vector<std::string>;

namespace {

const std::string kWord = "Word.Application", kExcel = "Excel.Application", kPowerpoint = "Powerpoint.Application",
                  kWps = "Kwps.Application", kEt = "ket.application";

// What the application objects see, per object model (see tests/fixtures/office).
Calls wordCalls(const std::string &app, const std::string &family) {
    return {app + " GET Application",
            app + " GET ActiveWindow",
            app + ".ActiveWindow CALL Activate",
            app + ".ActiveWindow GET Selection",
            app + ".ActiveWindow.Selection GET Text",
            app + ".ActiveWindow.Selection GET Font",
            app + ".ActiveWindow.Selection.Font PUT Name = " + family};
}
Calls excelCalls(const std::string &app, const std::string &family) {
    return {app + " GET Application", app + " GET ActiveWorkbook",  app + ".ActiveWorkbook CALL Activate",
            app + " GET ActiveCell",  app + ".ActiveCell GET Font", app + ".ActiveCell.Font PUT Name = " + family};
}
Calls powerpointCalls(const std::string &app, const std::string &family) {
    const std::string range = app + ".ActiveWindow.Selection.TextRange";
    return {app + " GET ActiveWindow",
            app + ".ActiveWindow CALL Activate",
            app + ".ActiveWindow GET Selection",
            app + ".ActiveWindow.Selection GET TextRange",
            range + " GET Font",
            range + ".Font PUT Name = " + family,
            range + " GET Font",
            range + ".Font PUT NameFarEast = " + family};
}
Calls operator+(Calls a, const Calls &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

int apply(int processId, const char *family) {
    VorlaNode::ApplyFont request{};
    request.family = const_cast<char *>(family);
    request.path = const_cast<char *>("C:\\Fonts\\any.ttf");
    request.postscriptName = const_cast<char *>("Any-Regular");
    request.style = const_cast<char *>("Regular");
    request.processId = processId;
    return applyFontForApplication(&request);
}

bool contains(const std::vector<std::string> &entries, const std::string &text) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const std::string &e) { return e.find(text) != std::string::npos; });
}

std::string dispatchEntry(const std::string &application, const std::string &family, int status) {
    return "[applyFontForApplication]\t[Application:" + application + "] [fontFamily:" + family + "] (" +
           std::to_string(status) + ")";
}

struct ApplyCase {
    const char *name;
    std::string image;
    Options options;
    std::string family;  // UTF-8
    int status;
    Calls calls;
    std::string row;           // the row name logged by dispatch
    std::string handlerError;  // text of the handler's error entry after "]\t"; empty: none
};
std::ostream &operator<<(std::ostream &out, const ApplyCase &c) { return out << c.name; }

const std::vector<std::wstring> kWpsIds = {L"Kwps.Application", L"ket.application", L"Powerpoint.Application"};
const std::string kFancy = "Fira \xF0\x9D\x94\x89 Sans";  // U+1D509 outside the basic plane
const std::string kSongti = "\xE5\xAE\x8B\xE4\xBD\x93";   // 宋体

class ApplyByProcess : public ::testing::TestWithParam<ApplyCase> {};

}  // namespace

TEST_P(ApplyByProcess, WalksTheObjectModelAndPutsTheFamily) {
    const ApplyCase &c = GetParam();
    office::LibraryLog log;
    App app(office::program(c.image), c.options);

    EXPECT_EQ(apply(app.processId(), c.family.c_str()), c.status);
    EXPECT_EQ(app.calls(), c.calls);

    const auto errors = log.entries("ERROR");
    const std::string outcome = dispatchEntry(c.row, c.family, c.status);
    EXPECT_TRUE(contains(c.status == 0 ? log.entries("INFO") : errors, outcome)) << outcome;
    if (c.handlerError.empty()) {
        EXPECT_FALSE(contains(errors, "[handler]"));
    } else {
        const std::string entry = "[handler]\t[Application:" + c.image + "] [fontFamily:" + c.family + "]\t" +
                                  c.handlerError;
        EXPECT_TRUE(contains(errors, entry)) << entry;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Office, ApplyByProcess,
    ::testing::Values(
        ApplyCase{"Word",
                  "WINWORD.EXE",
                  {{L"Word.Application"}, {{L"OpusApp", L"Report"}}},
                  "Arial",
                  0,
                  wordCalls(kWord, "Arial"),
                  "WINWORD.EXE",
                  ""},
        ApplyCase{"WordChineseFamily",
                  "WINWORD.EXE",
                  {{L"Word.Application"}, {{L"OpusApp", L"Report"}}},
                  kSongti,
                  0,
                  wordCalls(kWord, kSongti),
                  "WINWORD.EXE",
                  ""},
        ApplyCase{"WordFamilyOutsideBasicPlane",
                  "WINWORD.EXE",
                  {{L"Word.Application"}, {{L"OpusApp", L"Report"}}},
                  kFancy,
                  0,
                  wordCalls(kWord, kFancy),
                  "WINWORD.EXE",
                  ""},
        ApplyCase{"ExcelActiveCellOnly",
                  "EXCEL.EXE",
                  {{L"Excel.Application"}, {{L"XLMAIN", L"Book1"}}},
                  "Arial",
                  0,
                  excelCalls(kExcel, "Arial"),
                  "EXCEL.EXE",
                  ""},
        ApplyCase{"PowerPointNameThenFarEast",
                  "POWERPNT.EXE",
                  {{L"Powerpoint.Application"}, {{L"PPTFrameClass", L"Deck"}}},
                  "Arial",
                  0,
                  powerpointCalls(kPowerpoint, "Arial"),
                  "POWERPNT.EXE",
                  ""},
        ApplyCase{"WpsWriter",
                  "wps.exe",
                  {kWpsIds, {{L"OpusApp", L"plan.docx"}}},
                  "Arial",
                  0,
                  wordCalls(kWps, "Arial"),
                  "wps.exe",
                  ""},
        ApplyCase{"WpsSheet",
                  "wps.exe",
                  {kWpsIds, {{L"XLMAIN", L"sums.xlsx"}}},
                  "Arial",
                  0,
                  excelCalls(kEt, "Arial"),
                  "wps.exe",
                  ""},
        ApplyCase{"WpsSlidesThroughPowerpoint",
                  "wps.exe",
                  {kWpsIds, {{L"PP12FrameClass", L"deck.pptx"}}},
                  "Arial",
                  0,
                  powerpointCalls(kPowerpoint, "Arial"),
                  "wps.exe",
                  ""},
        // Rows 4 and 5 both recognise the window: writer first, then the sheet, whose failure is the result.
        ApplyCase{
            "WpsDocAndXlsBothRowsLastStatus",
            "wps.exe",
            {kWpsIds, {{L"OpusApp", L"a.doc b.xls"}}, {L"ActiveCell"}},
            "Arial",
            1111,
            wordCalls(kWps, "Arial") + Calls{kEt + " GET Application", kEt + " GET ActiveWorkbook",
                                             kEt + ".ActiveWorkbook CALL Activate", kEt + " GET ActiveCell (failed)"},
            "wps.exe",
            "Error : IDispatch::Invoke(\"ActiveCell\"=00000004) failed w/err 0x80020009\n"},
        ApplyCase{"WordNotRunning",
                  "WINWORD.EXE",
                  {{}, {{L"OpusApp", L"Report"}}},
                  "Arial",
                  1111,
                  {},
                  "WINWORD.EXE",
                  "Error : Defined app not found"},
        ApplyCase{"ExcelNotRunning",
                  "EXCEL.EXE",
                  {{}, {{L"XLMAIN", L"Book1"}}},
                  "Arial",
                  1111,
                  {},
                  "EXCEL.EXE",
                  "Error : Defined app not found"},
        ApplyCase{"PowerPointWithoutTextRange",
                  "POWERPNT.EXE",
                  {{L"Powerpoint.Application"}, {{L"PPTFrameClass", L"Deck"}}, {L"TextRange"}},
                  "Arial",
                  1111,
                  {kPowerpoint + " GET ActiveWindow", kPowerpoint + ".ActiveWindow CALL Activate",
                   kPowerpoint + ".ActiveWindow GET Selection",
                   kPowerpoint + ".ActiveWindow.Selection GET TextRange (failed)"},
                  "POWERPNT.EXE",
                  "Error : IDispatch::Invoke(\"TextRange\"=00000003) failed w/err 0x80020009\n"},
        ApplyCase{"WordWithoutActiveWindow",
                  "WINWORD.EXE",
                  {{L"Word.Application"}, {{L"OpusApp", L"Report"}}, {L"ActiveWindow"}},
                  "Arial",
                  1111,
                  {kWord + " GET Application", kWord + " GET ActiveWindow (failed)"},
                  "WINWORD.EXE",
                  "Error : IDispatch::Invoke(\"ActiveWindow\"=00000002) failed w/err 0x80020009\n"},
        ApplyCase{"ExcelWithoutWorkbook",
                  "EXCEL.EXE",
                  {{L"Excel.Application"}, {{L"XLMAIN", L"Book1"}}, {}, {L"ActiveWorkbook"}},
                  "Arial",
                  1111,
                  {kExcel + " GET Application", kExcel + " GET ActiveWorkbook"},
                  "EXCEL.EXE",
                  "Error : pDisp is NULL"}),
    [](const ::testing::TestParamInfo<ApplyCase> &test) { return std::string(test.param.name); });

// A null family travels as an empty automation string (a null BSTR; the
// marshaller hands the application an empty one).
TEST(ApplyFont, NullFamilyIsPutAsEmptyName) {
    App word(office::program("WINWORD.EXE"), Options{{L"Word.Application"}, {{L"OpusApp", L"Report"}}});
    EXPECT_EQ(apply(word.processId(), nullptr), 0);
    EXPECT_EQ(word.calls(), wordCalls(kWord, ""));
}

TEST(ApplyFont, ProcessWithoutRecognisedWindowGives2001) {
    office::LibraryLog log;
    App other(office::program("WINWORD.EXE"), Options{{L"Word.Application"}, {{L"NotOpusApp", L"Report"}}});

    EXPECT_EQ(apply(other.processId(), "Arial"), 2001);
    EXPECT_TRUE(other.calls().empty());
    EXPECT_TRUE(contains(log.entries("ERROR"), dispatchEntry("", "Arial", 2001)));
}

TEST(ApplyFont, ProcessIdZeroTargetsTheTopmostRecognisedWindow) {
    office::LibraryLog log;
    App word(office::program("WINWORD.EXE"), Options{{L"Word.Application"}, {{L"OpusApp", L"Report"}}});

    EXPECT_EQ(apply(0, "Arial"), 0);
    EXPECT_EQ(word.calls(), wordCalls(kWord, "Arial"));
    EXPECT_TRUE(contains(log.entries("INFO"), dispatchEntry("WINWORD.EXE", "Arial", 0)));
    EXPECT_TRUE(contains(log.entries("DEBUG"), "Get CurrentWindow name:WINWORD.EXE"));
}

// COM is initialised for the multithreaded apartment and uninitialised once per call.
TEST(ApplyFont, ComApartmentOfTheCallingThread) {
    office::LibraryLog log;
    App word(office::program("WINWORD.EXE"), Options{{L"Word.Application"}, {{L"OpusApp", L"Report"}}});
    const int pid = word.processId();

    // A thread without COM: afterwards it is fully uninitialised again.
    std::thread([&] {
        EXPECT_EQ(apply(pid, "Arial"), 0);
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(hr, S_OK);
        CoUninitialize();
    }).join();

    // A thread already in the multithreaded apartment: works, and its own count is balanced.
    std::thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(apply(pid, "Arial"), 0);
        CoUninitialize();
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(hr, S_OK);
        CoUninitialize();
    }).join();
    EXPECT_EQ(word.calls(), wordCalls(kWord, "Arial") + wordCalls(kWord, "Arial"));

    // A single-threaded apartment cannot take the call.
    std::thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(apply(pid, "Arial"), 1111);
        CoUninitialize();
    }).join();
    EXPECT_EQ(word.calls().size(), 2 * wordCalls(kWord, "Arial").size());
    const auto errors = log.entries("ERROR");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "[COM] [Open Fail!]");
    // RPC_E_CHANGED_MODE: the thread is in another apartment.
    EXPECT_TRUE(contains(log.entries("DEBUG"), "[平台调用]\t[CoInitializeEx]\t(HRESULT 0x80010106)"));
}
