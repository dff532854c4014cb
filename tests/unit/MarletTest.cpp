// The installer program: its loop in process, and Marlet.exe itself under Wine on the
// prefix's real registry and files, with a recording window for its messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "CommandLine.h"
#include "FontJson.h"
#include "Installer.h"
#include "easylogging++.h"
#include "common/Text.h"
#include "support/ChildProcess.h"
#include "support/CoreFixtures.h"
#include "support/MessageReceiver.h"
#include "support/MiniFont.h"
#include "support/TestSupport.h"

using testsupport::describe;
using testsupport::Receiver;
using testsupport::Record;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

using testsupport::buildDir;
using testsupport::testProgram;
std::wstring marletExe() { return (buildDir() / L"Marlet.exe").wstring(); }

// A font list in the form the front end passes it: every double quote as backslash-apostrophe.
std::string quoted(const std::string &json) {
    std::string out;
    for (char c : json) out += c == '"' ? std::string("\\'") : std::string(1, c);
    return out;
}

std::string jsonText(const std::string &text) {  // a JSON string literal
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct ListFont {
    std::string path, family, postscriptName;
};
std::string fontListJson(const std::vector<ListFont> &fonts) {
    std::string json = "[";
    for (const auto &font : fonts) {
        if (json.size() > 1) json += ",";
        json += "{\"family\":" + jsonText(font.family) + ",\"path\":" + jsonText(font.path) +
                ",\"postscriptName\":" + jsonText(font.postscriptName) + ",\"style\":\"Regular\"}";
    }
    return json + "]";
}

std::string resultJson(const std::vector<int> &codes) {
    std::string json = "[";
    for (int code : codes) {
        if (json.size() > 1) json += ",";
        json += "{\"data\":\"\",\"code\":\"" + std::to_string(code) + "\"}";
    }
    return json + "]";
}

// A generated font with a name no other test uses (font resources outlive a process under Wine).
struct TestFont {
    std::string path;  // UTF-8
    std::string name;  // the name its naming table gives the registry
    std::string valueName() const { return name + " (TrueType)"; }
};
TestFont makeFont(const fs::path &dir, const std::string &fileName, const std::string &tag,
                  const std::string &chineseName = "") {
    static int counter = 0;
    const std::string family = "Marlet " + tag + " " + std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(GetTickCount64() % 100000) + "-" + std::to_string(counter++);
    fs::create_directories(dir);
    const fs::path file = dir / testsupport::pathOf(fileName);
    testsupport::writeFile(file, sfnt::miniFont({family, "", "", chineseName}));
    return {testsupport::textOf(file), chineseName.empty() ? family : chineseName};
}

// HKCU font entries (string values only), read with the wide registry functions.
std::optional<std::string> userFontEntry(const std::string &valueName) {
    const corefix::RawValue value = corefix::readRawFontValue(HKEY_CURRENT_USER, valueName);
    if (!value.exists || value.type != REG_SZ) return std::nullopt;
    return value.text;
}

long userFontValueCount() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, corefix::kFontsKeyW, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return static_cast<long>(values);
}

void ensureUserFontsKey() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, corefix::kFontsKeyW, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Removes what an install left (entry and copy), whatever state it is in.
void forgetUserFont(const TestFont &font) {
    if (auto copy = userFontEntry(font.valueName())) {
        std::error_code ignored;
        fs::remove(testsupport::pathOf(*copy), ignored);
        corefix::deleteRawFontValue(HKEY_CURRENT_USER, font.valueName());
    }
}

testsupport::RunResult runMarlet(const std::vector<std::string> &args, const fs::path &workDir,
                                 DWORD timeoutMs = 120000, const std::wstring &exe = marletExe()) {
    std::vector<std::wstring> wideArgs;
    for (const auto &arg : args) wideArgs.push_back(vorla::utf8ToWide(arg));
    TempDir capture("marlet-io");
    return testsupport::runProgram(exe, wideArgs, workDir, capture.path(), timeoutMs);
}

std::vector<std::string> filesIn(const fs::path &dir) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir)) names.push_back(testsupport::textOf(entry.path().filename()));
    return names;
}

// A line of Marlet's console log, or the name reader's "------------------<n>" line.
bool isLogLine(const std::string &line) {
    for (const char *start : {"[INFO | ", "[DEBUG | ", "[ERROR | ", "[WARNING | ", "------------------"})
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The loop, in process, with a step that fails the way the core can (an exception).

TEST(MarletLoop, AFontWhoseStepThrowsGets1111AndTheRunGoesOn) {
    TempDir dir("marlet-loop");
    const fs::path logFile = dir / "loop.log";
    el::Configurations config;
    config.setToDefault();
    config.setGlobally(el::ConfigurationType::Filename, testsupport::textOf(logFile));
    config.setGlobally(el::ConfigurationType::ToFile, "true");
    config.setGlobally(el::ConfigurationType::ToStandardOutput, "false");
    config.setGlobally(el::ConfigurationType::Format, "%level|%msg");
    el::Loggers::reconfigureLogger("default", config);

    std::vector<FontJSONObj> fonts(3);
    for (size_t i = 0; i < fonts.size(); ++i) {
        fonts[i].path = "p" + std::to_string(i);
        fonts[i].family = "F" + std::to_string(i);
        fonts[i].postscriptName = "PS" + std::to_string(i);
    }
    std::vector<std::string> seen;
    const Marlet::FontStep step = [&](Marlet::Action action, const InteractiveFont &font) {
        EXPECT_EQ(action, Marlet::Action::Uninstall);
        seen.push_back(textOf(font.path) + "/" + textOf(font.family) + "/" + textOf(font.postscriptName));
        if (textOf(font.path) == "p1") throw std::runtime_error("disk on fire");
        return textOf(font.path) == "p0" ? 0 : 1013;
    };

    Receiver receiver(dir);
    ASSERT_FALSE(receiver.handle().empty());
    const auto results = Marlet::processFonts(Marlet::Action::Uninstall, fonts, std::stoi(receiver.handle()), step);
    const auto records = receiver.stop();
    el::Loggers::reconfigureLogger("default", el::ConfigurationType::ToFile, "false");

    EXPECT_EQ(resultListToJson(results), resultJson({0, 1111, 1013}));
    EXPECT_EQ(seen, (std::vector<std::string>{"p0/F0/PS0", "p1/F1/PS1", "p2/F2/PS2"}));
    const std::vector<std::vector<long long>> expected = {
        {0x1402, 0, 0}, {0x1402, 1, 1111}, {0x1402, 2, 1013}, {0x1404, 0, 3}};
    ASSERT_EQ(records.size(), expected.size()) << describe(records);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i].message, static_cast<unsigned>(expected[i][0]));
        EXPECT_EQ(records[i].wParam, static_cast<unsigned long long>(expected[i][1]));
        EXPECT_EQ(records[i].lParam, expected[i][2]);
    }
    EXPECT_EQ(testsupport::lines(testsupport::readFile(logFile)),
              std::vector<std::string>{"ERROR|[字体卸载]\t[异常]\t(p1)\tdisk on fire"});
}

// ---------------------------------------------------------------------------------------
// Marlet.exe: command line.

TEST(MarletCommandLine, HelpAndUsageErrors) {
    TempDir dir("marlet-cli");
    ensureUserFontsKey();
    // A real font in every list: a usage error must leave it uninstalled.
    const TestFont font = makeFont(dir.path() / "in", "usage.ttf", "Usage");
    const std::string list = quoted(fontListJson({{font.path, "Usage", ""}}));
    const std::string help =
        "-i\tinstall font.\r\n-u\tuninstall font\r\n-o\tout result file.to json format.\r\n-w\tWindow handle "
        "number(8)\r\n";
    struct Case {
        std::vector<std::string> args;
        DWORD exitCode;
        std::string out;
    };
    const std::vector<Case> cases = {
        {{}, 0, help},
        {{"-h", "-i", list}, 0, help},
        {{"-i", list, "-o", "r.json", "-h"}, 0, help},
        {{"-i", list, "-u", list}, 1, "Usage:  <-i , -u>  not all open.\r\n"},
        {{"-o", "r.json"}, 1, "Usage: not option.\r\n"},
        {{""}, 1, "Usage: not option.\r\n"},  // an empty argument is dropped, but it is an argument
        {{"-i"}, 1, "Usage: -i needs a value.\r\n"},
        {{"-o", "r.json", "-u"}, 1, "Usage: -u needs a value.\r\n"},
        {{"-i", "", ""}, 1, "Usage: -i needs a value.\r\n"},
        {{"-i", list, "-w"}, 1, "Usage: -w needs a value.\r\n"},
        {{"-i", list, "-w", "12ab"}, 1, "Usage: -w needs a decimal window handle.\r\n"},
        {{"-i", list, "-w", "0x10"}, 1, "Usage: -w needs a decimal window handle.\r\n"},
        {{"-i", list, "-w", "2147483648"}, 1, "Usage: -w needs a decimal window handle.\r\n"},
        {{"-i", list, "-w", "-2147483649"}, 1, "Usage: -w needs a decimal window handle.\r\n"},
        {{"-w", "x"}, 1, "Usage: -w needs a decimal window handle.\r\n"},
    };
    for (const auto &c : cases) {
        std::string what;
        for (const auto &a : c.args) what += "[" + a + "] ";
        SCOPED_TRACE(what);
        const auto run = runMarlet(c.args, dir.path());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
    }
    EXPECT_FALSE(userFontEntry(font.valueName()).has_value());
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"in"});  // no result file, no log file
}

// ---------------------------------------------------------------------------------------
// Marlet.exe: window messages.

// Registered a second time under code page 936 (tests/ctest.d/core-zh_CN.cmake): VORLA_EXPECT_ACP says which.
TEST(MarletMessages, EachFontIsReportedBeforeTheNextOneIsProcessed) {
    if (const char *acp = std::getenv("VORLA_EXPECT_ACP")) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp)));
    }
    TempDir dir("marlet-msg");
    ensureUserFontsKey();
    const TestFont a = makeFont(dir.path(), "a.ttf", "MsgA");
    const TestFont c = makeFont(dir.path(), "c.ttf", "MsgC");
    const std::string missing = testsupport::textOf(dir / "missing.ttf");
    const long base = userFontValueCount();

    Receiver receiver(dir, 150);
    ASSERT_FALSE(receiver.handle().empty());
    const auto install = runMarlet(
        {"-i", quoted(fontListJson({{a.path, "A", ""}, {missing, "B", ""}, {c.path, "C", ""}})), "-w",
         receiver.handle(), "-o", testsupport::textOf(dir / "install.json")},
        dir.path());
    ASSERT_TRUE(install.finished);
    EXPECT_EQ(install.exitCode, 0u);

    const auto copyA = userFontEntry(a.valueName());
    const auto copyC = userFontEntry(c.valueName());
    ASSERT_TRUE(copyA && copyC);
    const auto uninstall = runMarlet({"-u", quoted(fontListJson({{*copyA, "A", ""}, {*copyC, "C", ""}})), "-w",
                                      receiver.handle(), "-o", testsupport::textOf(dir / "uninstall.json")},
                                     dir.path());
    ASSERT_TRUE(uninstall.finished);
    EXPECT_EQ(uninstall.exitCode, 0u);

    // The last column shows the registry after the window spent 150 ms on each message: the
    // sender waited for every message before it went on with the next font.
    const auto records = receiver.stop();
    const std::vector<Record> expected = {
        {0x1401, 0, 0, base + 1}, {0x1401, 1, 1005, base + 1}, {0x1401, 2, 0, base + 2}, {0x1403, 3, 0, base + 2},
        {0x1402, 0, 0, base + 1}, {0x1402, 1, 0, base},        {0x1404, 0, 2, base},
    };
    ASSERT_EQ(records.size(), expected.size()) << describe(records);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i].message, expected[i].message) << i;
        EXPECT_EQ(records[i].wParam, expected[i].wParam) << i;
        EXPECT_EQ(records[i].lParam, expected[i].lParam) << i;
        EXPECT_EQ(records[i].fontValues, expected[i].fontValues) << i;
    }
    EXPECT_FALSE(fs::exists(testsupport::pathOf(*copyA)));
    EXPECT_FALSE(fs::exists(testsupport::pathOf(*copyC)));
}

TEST(MarletMessages, OnlyTheFinalMessageForAnEmptyOrUnreadableList_AndNoneWithoutWindow) {
    TempDir dir("marlet-msg0");
    const std::string missing = quoted(fontListJson({{testsupport::textOf(dir / "none.ttf"), "N", ""}}));
    struct Case {
        std::vector<std::string> args;  // "<hwnd>" stands for the receiver's handle
        std::vector<Record> expected;
        std::string json;
    };
    const std::vector<Case> cases = {
        {{"-i", "{\\'family\\':\\'A\\'}", "-w", "<hwnd>"}, {{0x1403, 0, 0, 0}}, "[]"},
        {{"-u", "not json", "-w", "<hwnd>"}, {{0x1404, 0, 0, 0}}, "[]"},
        {{"-i", "[]", "-w", "<hwnd>"}, {{0x1403, 0, 0, 0}}, "[]"},
        {{"-i", "[7,\\'x\\']", "-w", "<hwnd>"}, {{0x1403, 0, 0, 0}}, "[]"},
        {{"-i", missing, "-w", "0"}, {}, resultJson({1005})},
        {{"-u", missing}, {}, resultJson({1005})},
    };
    for (const auto &c : cases) {
        Receiver receiver(dir);
        ASSERT_FALSE(receiver.handle().empty());
        std::vector<std::string> args = c.args;
        std::string what;
        for (auto &a : args) {
            if (a == "<hwnd>") a = receiver.handle();
            what += "[" + a + "] ";
        }
        SCOPED_TRACE(what);
        const auto run = runMarlet(args, dir.path());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u);
        const auto out = testsupport::lines(run.out);
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.back(), c.json);
        const auto records = receiver.stop();
        ASSERT_EQ(records.size(), c.expected.size()) << describe(records);
        for (size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].message, c.expected[i].message);
            EXPECT_EQ(records[i].wParam, c.expected[i].wParam);
            EXPECT_EQ(records[i].lParam, c.expected[i].lParam);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Marlet.exe: the result list.

TEST(MarletResults, WhereTheResultListGoes) {
    struct Case {
        const char *what;
        std::vector<std::string> outputArgs;  // "<dir>" stands for the working folder
        const char *file;                     // result file expected in the working folder, or null
        DWORD exitCode;
        bool jsonOnStdout;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"-o with a path", {"-o", "<dir>\\out put.json"}, "out put.json", 0, false, ""},
        {"no -o", {}, nullptr, 0, true, ""},
        {"-o last means result.json", {"-o"}, "result.json", 0, false, ""},
        {"-o followed by an empty argument", {"-o", ""}, "result.json", 0, false, ""},
        {"unwritable -o",
         {"-o", "<dir>\\no such folder\\r.json"},
         nullptr,
         2,
         false,
         "Unable to open file for writing.\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir work("marlet-out");
        TempDir fonts("marlet-fonts");
        const TestFont font = makeFont(fonts.path(), "b.ttf", "Out");
        const std::string missing1 = testsupport::textOf(fonts / "a.ttf");
        const std::string missing2 = testsupport::textOf(fonts / "c.ttf");
        std::vector<std::string> args = {
            "-i", quoted(fontListJson({{missing1, "A", ""}, {font.path, "B", ""}, {missing2, "C", ""}}))};
        for (auto arg : c.outputArgs) {
            const auto at = arg.find("<dir>");
            if (at != std::string::npos) arg.replace(at, 5, testsupport::textOf(work.path()));
            args.push_back(arg);
        }
        const auto run = runMarlet(args, work.path());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, c.err);

        const std::string json = resultJson({1005, 0, 1005});
        const auto out = testsupport::lines(run.out);
        ASSERT_FALSE(out.empty());
        // Marlet's log goes to standard output: every line before the result is a log line,
        // among them the install's own outcome.
        for (size_t i = 0; i + (c.jsonOnStdout ? 1 : 0) < out.size(); ++i) EXPECT_TRUE(isLogLine(out[i])) << out[i];
        EXPECT_NE(run.out.find("[字体安装]\t[成功]"), std::string::npos);
        if (c.jsonOnStdout) {
            EXPECT_EQ(out.back(), json);
        }
        if (!c.jsonOnStdout) {
            EXPECT_EQ(run.out.find("\"code\""), std::string::npos);
        }

        // Nothing but the result file appears in the working folder: no log file.
        std::vector<std::string> expectedFiles;
        if (c.file) expectedFiles.push_back(c.file);
        EXPECT_EQ(filesIn(work.path()), expectedFiles);
        if (c.file) {
            EXPECT_EQ(testsupport::readFile(work / c.file), json + "\r\n");
        }
        EXPECT_TRUE(userFontEntry(font.valueName()).has_value());
        forgetUserFont(font);
    }
}

// A list nested deeper than any stack would hold is an unreadable list like any other.
TEST(MarletResults, DeeplyNestedListGivesAnEmptyResultFile) {
    TempDir work("marlet-deep");
    const auto run = runMarlet({"-i", std::string(20000, '['), "-o", testsupport::textOf(work / "r.json")},
                               work.path());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(testsupport::readFile(work / "r.json"), "[]\r\n");
}

// ---------------------------------------------------------------------------------------
// Round trips with the library, and text outside the ANSI code page.

TEST(MarletRoundTrip, MarletInstallsWhatTheLibraryUninstalls) {
    TempDir dir("marlet-rt1");
    const std::vector<TestFont> fonts = {makeFont(dir.path(), "one.ttf", "RoundA"),
                                         makeFont(dir.path(), "two.ttf", "RoundB")};
    const auto run = runMarlet({"-i", quoted(fontListJson({{fonts[0].path, "A", ""}, {fonts[1].path, "B", ""}}))},
                               dir.path());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(testsupport::lines(run.out).back(), resultJson({0, 0}));

    for (const auto &font : fonts) {
        const auto copy = userFontEntry(font.valueName());
        ASSERT_TRUE(copy.has_value());
        ASSERT_TRUE(fs::exists(testsupport::pathOf(*copy)));
        // A process started after Marlet sees the font resource Marlet added.
        const auto call = testsupport::runProgram(testProgram(L"fontcall.exe"),
                                                  {L"uninstall", vorla::utf8ToWide(*copy)}, dir.path(), dir.path());
        ASSERT_TRUE(call.finished);
        ASSERT_EQ(call.exitCode, 0u) << "fontcall could not reach uninstallFont";
        EXPECT_EQ(testsupport::lines(call.out).back(), "0");  // the status follows any log lines
        EXPECT_FALSE(userFontEntry(font.valueName()).has_value());
        EXPECT_FALSE(fs::exists(testsupport::pathOf(*copy)));
    }
}

TEST(MarletRoundTrip, MarletUninstallsWhatTheLibraryInstalled) {
    TempDir dir("marlet-rt2");
    const std::vector<TestFont> fonts = {makeFont(dir.path(), "three.ttf", "RoundC"),
                                         makeFont(dir.path(), "four.ttf", "RoundD")};
    std::vector<ListFont> list;
    for (const auto &font : fonts) {
        const auto call = testsupport::runProgram(testProgram(L"fontcall.exe"),
                                                  {L"install", vorla::utf8ToWide(font.path)}, dir.path(), dir.path());
        ASSERT_TRUE(call.finished);
        ASSERT_EQ(call.exitCode, 0u) << "fontcall could not reach installFont";
        ASSERT_EQ(testsupport::lines(call.out).back(), "0");
        const auto copy = userFontEntry(font.valueName());
        ASSERT_TRUE(copy.has_value());
        list.push_back({*copy, "", ""});
    }
    const auto run = runMarlet({"-u", quoted(fontListJson(list))}, dir.path());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(testsupport::lines(run.out).back(), resultJson({0, 0}));
    for (size_t i = 0; i < fonts.size(); ++i) {
        EXPECT_FALSE(userFontEntry(fonts[i].valueName()).has_value());
        EXPECT_FALSE(fs::exists(testsupport::pathOf(list[i].path)));
    }
}

TEST(MarletRoundTrip, ChinesePathsAndNamesUnderAWesternCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "this case is about text outside the ANSI code page";
    TempDir dir("marlet-cn");
    const fs::path folder = dir / "中文字体 目录";
    const std::vector<TestFont> fonts = {makeFont(folder, "宋体样本.ttf", "Cn", "测试宋体"),
                                         makeFont(folder, "黑体样本.ttf", "Cn", "测试黑体")};
    const auto install = runMarlet(
        {"-i", quoted(fontListJson({{fonts[0].path, "宋体", ""}, {fonts[1].path, "黑体", ""}})), "-o",
         testsupport::textOf(folder / "结果.json")},
        dir.path());
    ASSERT_TRUE(install.finished);
    EXPECT_EQ(install.exitCode, 0u);
    EXPECT_EQ(testsupport::readFile(folder / "结果.json"), resultJson({0, 0}) + "\r\n");

    std::vector<ListFont> copies;
    for (const auto &font : fonts) {
        const auto copy = userFontEntry(font.valueName());  // "测试宋体 (TrueType)", read as UTF-16
        ASSERT_TRUE(copy.has_value()) << font.valueName();
        EXPECT_EQ(testsupport::textOf(testsupport::pathOf(*copy).filename()),
                  testsupport::textOf(testsupport::pathOf(font.path).filename()));
        EXPECT_TRUE(fs::exists(testsupport::pathOf(*copy)));
        copies.push_back({*copy, font.name, ""});
    }
    const auto uninstall = runMarlet({"-u", quoted(fontListJson(copies))}, dir.path());
    ASSERT_TRUE(uninstall.finished);
    EXPECT_EQ(testsupport::lines(uninstall.out).back(), resultJson({0, 0}));
    for (size_t i = 0; i < fonts.size(); ++i) {
        EXPECT_FALSE(userFontEntry(fonts[i].valueName()).has_value());
        EXPECT_FALSE(fs::exists(testsupport::pathOf(copies[i].path)));
    }
}

// ---------------------------------------------------------------------------------------
// The font list in a file: "-i @<file>", "-u @<file>".

namespace {

void expectRecords(const std::vector<Record> &records, const std::vector<Record> &expected) {
    ASSERT_EQ(records.size(), expected.size()) << describe(records);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i].message, expected[i].message) << i;
        EXPECT_EQ(records[i].wParam, expected[i].wParam) << i;
        EXPECT_EQ(records[i].lParam, expected[i].lParam) << i;
    }
}

// The list argument: the quoted text itself, or "@" and a file that holds the given text.
std::string listArgument(bool inFile, const std::string &text, const fs::path &file) {
    if (!inFile) return text;
    testsupport::writeFile(file, text);
    return "@" + testsupport::textOf(file);
}

}  // namespace

TEST(MarletListFile, TheFileFormGivesWhatTheCommandLineFormGives) {
    ASSERT_EQ(GetACP(), 1252u) << "the folder and file names lie outside the ANSI code page";
    ensureUserFontsKey();
    struct Case {
        const char *what;
        bool inFile;
        bool quotedText;  // backslash-apostrophe pairs in place of the double quotes
        const char *bom;
    };
    const std::vector<Case> cases = {
        {"command line", false, true, ""},
        {"file with the command line's quoting", true, true, ""},
        {"file with plain JSON and a byte order mark", true, false, "\xEF\xBB\xBF"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir("marlet-lf");
        const fs::path folder = dir / "中文 列表";
        const TestFont a = makeFont(folder, "甲.ttf", "ListA");
        const TestFont b = makeFont(folder, "乙.ttf", "ListB");
        const auto text = [&](const std::vector<ListFont> &list) {
            const std::string json = fontListJson(list);
            return std::string(c.bom) + (c.quotedText ? quoted(json) : json);
        };
        Receiver receiver(dir);
        ASSERT_FALSE(receiver.handle().empty());

        const auto install = runMarlet(
            {"-i",
             listArgument(
                 c.inFile,
                 text({{a.path, "A", ""}, {testsupport::textOf(folder / "无.ttf"), "N", ""}, {b.path, "B", ""}}),
                 folder / "安装.json"),
             "-w", receiver.handle(), "-o", testsupport::textOf(folder / "结果一.json")},
            dir.path());
        ASSERT_TRUE(install.finished);
        EXPECT_EQ(install.exitCode, 0u);
        EXPECT_EQ(install.err, "");
        EXPECT_EQ(testsupport::readFile(folder / "结果一.json"), resultJson({0, 1005, 0}) + "\r\n");

        const auto copyA = userFontEntry(a.valueName());
        const auto copyB = userFontEntry(b.valueName());
        ASSERT_TRUE(copyA && copyB);
        const auto uninstall = runMarlet(
            {"-u", listArgument(c.inFile, text({{*copyA, "", ""}, {*copyB, "", ""}}), folder / "卸载.json"), "-w",
             receiver.handle(), "-o", testsupport::textOf(folder / "结果二.json")},
            dir.path());
        ASSERT_TRUE(uninstall.finished);
        EXPECT_EQ(uninstall.exitCode, 0u);
        EXPECT_EQ(uninstall.err, "");
        EXPECT_EQ(testsupport::readFile(folder / "结果二.json"), resultJson({0, 0}) + "\r\n");
        EXPECT_FALSE(fs::exists(testsupport::pathOf(*copyA)));
        EXPECT_FALSE(fs::exists(testsupport::pathOf(*copyB)));

        expectRecords(receiver.stop(), {{0x1401, 0, 0},
                                        {0x1401, 1, 1005},
                                        {0x1401, 2, 0},
                                        {0x1403, 3, 0},
                                        {0x1402, 0, 0},
                                        {0x1402, 1, 0},
                                        {0x1404, 0, 2}});
    }
}

TEST(MarletListFile, AThousandFontsInOneRunEachWithItsMessage) {
    TempDir dir("marlet-lf1000");
    ensureUserFontsKey();
    const size_t count = 1000;
    const std::vector<size_t> real = {0, 500, count - 1};
    std::vector<TestFont> fonts;
    for (size_t i : real) fonts.push_back(makeFont(dir.path(), "real-" + std::to_string(i) + ".ttf", "Thousand"));

    // Real fonts at the first, a middle and the last place; missing files (1005) between them.
    const auto listOf = [&](const std::vector<std::string> &realPaths, std::vector<int> &codes) {
        std::vector<ListFont> list;
        codes.clear();
        for (size_t i = 0, next = 0; i < count; ++i) {
            const bool isReal = next < real.size() && real[next] == i;
            list.push_back(
                {isReal ? realPaths[next++] : testsupport::textOf(dir / ("none-" + std::to_string(i) + ".ttf")),
                 "F" + std::to_string(i), ""});
            codes.push_back(isReal ? 0 : 1005);
        }
        return quoted(fontListJson(list));
    };
    const auto expectRun = [&](const char *mode, const std::string &text, const std::vector<int> &codes) {
        SCOPED_TRACE(mode);
        Receiver receiver(dir);
        ASSERT_FALSE(receiver.handle().empty());
        const fs::path result = dir / (std::string(mode + 1) + "-result.json");
        const auto run = runMarlet({mode, listArgument(true, text, dir / (std::string(mode + 1) + "-list.json")), "-w",
                                    receiver.handle(), "-o", testsupport::textOf(result)},
                                   dir.path());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(testsupport::readFile(result), resultJson(codes) + "\r\n");
        const bool install = std::string(mode) == "-i";
        std::vector<Record> expected;
        for (size_t i = 0; i < count; ++i) expected.push_back({install ? 0x1401u : 0x1402u, i, codes[i]});
        expected.push_back(install ? Record{0x1403, count, 0} : Record{0x1404, 0, static_cast<long long>(count)});
        expectRecords(receiver.stop(), expected);
    };

    std::vector<int> codes;
    std::vector<std::string> paths, copies;
    for (const auto &font : fonts) paths.push_back(font.path);
    const std::string installList = listOf(paths, codes);
    expectRun("-i", installList, codes);
    for (const auto &font : fonts) {
        const auto copy = userFontEntry(font.valueName());
        ASSERT_TRUE(copy.has_value()) << font.valueName();
        copies.push_back(*copy);
    }
    const std::string uninstallList = listOf(copies, codes);
    expectRun("-u", uninstallList, codes);
    for (const auto &copy : copies) EXPECT_FALSE(fs::exists(testsupport::pathOf(copy))) << copy;
}

TEST(MarletListFile, AListFileThatCannotBeReadGivesAnEmptyResult) {
    TempDir dir("marlet-lf0");
    const std::string folder = testsupport::textOf(dir.path());
    const std::vector<std::string> names = {folder + "\\no such list.json", folder, ""};
    for (const auto &name : names) {
        SCOPED_TRACE(name);
        Receiver receiver(dir);
        ASSERT_FALSE(receiver.handle().empty());
        const fs::path result = dir / "result.json";
        const auto run = runMarlet({"-u", "@" + name, "-w", receiver.handle(), "-o", testsupport::textOf(result)},
                                   dir.path());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.err, "Unable to read the font list file " + name + "\r\n");
        EXPECT_EQ(testsupport::readFile(result), "[]\r\n");
        expectRecords(receiver.stop(), {{0x1404, 0, 0}});
        fs::remove(result);
    }
}

// ---------------------------------------------------------------------------------------
// Stopping a run from the front end, and windows that do not answer.

namespace {

std::vector<std::wstring> answerFrom(int message, long long value) {
    return {L"answer", std::to_wstring(message), std::to_wstring(value)};
}

size_t countLinesWith(const std::string &text, const std::string &part) {
    size_t n = 0;
    for (const auto &line : testsupport::lines(text)) n += line.find(part) != std::string::npos ? 1 : 0;
    return n;
}

}  // namespace

TEST(MarletLoop, TheStopAnswerEndsTheLoopAfterThatFont_OtherAnswersDoNot) {
    TempDir dir("marlet-stop-loop");
    std::vector<FontJSONObj> fonts(4);
    for (size_t i = 0; i < fonts.size(); ++i) fonts[i].path = "p" + std::to_string(i);
    struct Case {
        const char *what;
        long long answer;
        int from;  // the first message (1-based) answered with it
        size_t processed;
    };
    const std::vector<Case> cases = {
        {"stop answered to the second of four fonts", Marlet::kStopAnswer, 2, 2},
        {"1 answered to every message", 1, 1, 4},
        {"stop answered to the last font only", Marlet::kStopAnswer, 4, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> seen;
        const Marlet::FontStep step = [&](Marlet::Action, const InteractiveFont &font) {
            seen.push_back(textOf(font.path));
            return 0;
        };
        Receiver receiver(dir, 0, answerFrom(c.from, c.answer));
        ASSERT_FALSE(receiver.handle().empty());
        const auto results = Marlet::processFonts(Marlet::Action::Install, fonts, std::stoi(receiver.handle()), step);
        EXPECT_EQ(results.size(), c.processed);
        EXPECT_EQ(seen.size(), c.processed);
        std::vector<Record> expected;
        for (size_t i = 0; i < c.processed; ++i) expected.push_back({0x1401, i, 0});
        expected.push_back({0x1403, c.processed, 0});
        expectRecords(receiver.stop(), expected);
    }
}

// The front end stops an install after the second font and an uninstall after the first:
// what was finished is fully done, the rest untouched, and the results say which is which.
TEST(MarletStop, AStoppedRunKeepsWhatItFinishedAndTouchesNothingElse) {
    TempDir dir("marlet-stop");
    ensureUserFontsKey();
    const std::string stamp = std::to_string(GetCurrentProcessId());
    std::vector<TestFont> fonts;
    for (int i = 0; i < 3; ++i)
        fonts.push_back(makeFont(dir.path(), "stop-" + stamp + "-" + std::to_string(i) + ".ttf", "Stop"));

    Receiver installWindow(dir, 0, answerFrom(2, Marlet::kStopAnswer));
    ASSERT_FALSE(installWindow.handle().empty());
    const auto install = runMarlet(
        {"-i", quoted(fontListJson({{fonts[0].path, "A", ""}, {fonts[1].path, "B", ""}, {fonts[2].path, "C", ""}})),
         "-w", installWindow.handle(), "-o", testsupport::textOf(dir / "install.json")},
        dir.path());
    ASSERT_TRUE(install.finished);
    EXPECT_EQ(install.exitCode, static_cast<DWORD>(Marlet::kExitStopped));
    EXPECT_EQ(testsupport::readFile(dir / "install.json"), resultJson({0, 0}) + "\r\n");
    expectRecords(installWindow.stop(), {{0x1401, 0, 0}, {0x1401, 1, 0}, {0x1403, 2, 0}});
    const auto copy0 = userFontEntry(fonts[0].valueName());
    const auto copy1 = userFontEntry(fonts[1].valueName());
    ASSERT_TRUE(copy0 && copy1);
    EXPECT_TRUE(fs::exists(testsupport::pathOf(*copy0)));
    EXPECT_TRUE(fs::exists(testsupport::pathOf(*copy1)));
    EXPECT_FALSE(userFontEntry(fonts[2].valueName()).has_value());
    const fs::path fontsFolder = testsupport::pathOf(*copy0).parent_path();
    EXPECT_FALSE(fs::exists(fontsFolder / testsupport::pathOf(fonts[2].path).filename()));

    Receiver uninstallWindow(dir, 0, answerFrom(1, Marlet::kStopAnswer));
    ASSERT_FALSE(uninstallWindow.handle().empty());
    const auto uninstall = runMarlet({"-u", quoted(fontListJson({{*copy0, "", ""}, {*copy1, "", ""}})), "-w",
                                      uninstallWindow.handle(), "-o", testsupport::textOf(dir / "uninstall.json")},
                                     dir.path());
    ASSERT_TRUE(uninstall.finished);
    EXPECT_EQ(uninstall.exitCode, static_cast<DWORD>(Marlet::kExitStopped));
    EXPECT_EQ(testsupport::readFile(dir / "uninstall.json"), resultJson({0}) + "\r\n");
    expectRecords(uninstallWindow.stop(), {{0x1402, 0, 0}, {0x1404, 0, 1}});
    EXPECT_FALSE(userFontEntry(fonts[0].valueName()).has_value());
    EXPECT_FALSE(fs::exists(testsupport::pathOf(*copy0)));
    EXPECT_EQ(userFontEntry(fonts[1].valueName()), copy1);
    EXPECT_TRUE(fs::exists(testsupport::pathOf(*copy1)));
    for (const auto &font : fonts) forgetUserFont(font);
}

// How Marlet treats the front end's window. A live window that is busy for 6 s on one message
// (longer than the 5 s after which Windows counts it as hung) is waited for and gets every
// message. A window that never answers, one that answers only after the bound (MarletShortBound:
// 2 s instead of 30 s) and one that is gone are skipped with one warning line and sent nothing
// more; every font is processed as without window.
TEST(MarletMessages, AHungOrVanishedWindowIsSkippedAndTheRunGoesOn) {
    ensureUserFontsKey();
    const std::wstring shortBound = testProgram(L"MarletShortBound.exe");
    struct Case {
        const char *what;
        std::vector<std::wstring> behaviour;  // of the receiver; empty: its window is gone
        std::wstring exe;
        std::vector<Record> recorded;
        size_t skipLines;
    };
    const std::vector<Case> cases = {
        {"a live window busy for 6 s on its first message",
         {L"busy", L"1", L"6000"},
         marletExe(),
         {{0x1401, 0, 1005}, {0x1401, 1, 0}, {0x1401, 2, 1005}, {0x1403, 3, 0}},
         0},
        {"a window that hangs on its first message", {L"hang", L"1"}, shortBound, {{0x1401, 0, 1005}}, 1},
        {"a window that answers its first message after the bound",
         {L"busy", L"1", L"4000"},
         shortBound,
         {{0x1401, 0, 1005}},
         1},
        {"a window that no longer exists", {}, shortBound, {}, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir("marlet-skip");
        const TestFont font = makeFont(dir.path(), "skip.ttf", "Skip");
        Receiver receiver(dir, 0, c.behaviour);
        ASSERT_FALSE(receiver.handle().empty());
        if (c.behaviour.empty()) receiver.stop();
        const auto run = runMarlet({"-i",
                                    quoted(fontListJson({{testsupport::textOf(dir / "a.ttf"), "A", ""},
                                                         {font.path, "B", ""},
                                                         {testsupport::textOf(dir / "c.ttf"), "C", ""}})),
                                    "-w", receiver.handle(), "-o", testsupport::textOf(dir / "r.json")},
                                   dir.path(), 60000, c.exe);
        ASSERT_TRUE(run.finished) << "Marlet waited for the window";
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(testsupport::readFile(dir / "r.json"), resultJson({1005, 0, 1005}) + "\r\n");
        EXPECT_TRUE(userFontEntry(font.valueName()).has_value());
        EXPECT_EQ(countLinesWith(run.out, "[窗口消息]\t[跳过]"), c.skipLines) << run.out;
        // A window that answers late ends once it has answered: by then it has recorded all it got.
        const bool hangs = !c.behaviour.empty() && c.behaviour[0] == L"hang";
        expectRecords(receiver.stop(hangs ? 100 : 10000), c.recorded);
        forgetUserFont(font);
    }
}
