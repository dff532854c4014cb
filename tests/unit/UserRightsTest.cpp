// The elevated side does only what the user who asked could do. Under Wine every process counts
// as elevated, its linked token is an administrator too and every file grants its user, so the
// rights decision sees no boundary there: the seam of the test build stands in for the user (a
// restricted token) and for the descriptors of what the rows name. A set-up check proves first that
// the seam refuses, so the table cannot pass by granting everything. The rows that hold without any
// rights check (an emptiness, a header, a name, a final path) run without the seam's help too:
// through Marlet.exe, which has no seam.
#include "CommandLine.h"
#include "InitLog.h"
#include "Installer.h"
#include "ListFile.h"
#include "Records.h"
#include "common/SafeFile.h"
#include "common/Status.h"
#include "easylogging++.h"
#include "interactive/win/FontUtil.h"
#include "interactive/win/WindowsInterActive.h"
#include "strategy/win/AdobeStrategies.h"
#include "support/AdobeFixtures.h"
#include "support/AttackFixtures.h"
#include "support/CoreFixtures.h"
#include "support/LogCapture.h"
#include "support/MiniFont.h"
#include "support/RightsSeam.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;
using namespace attackfix;
using namespace corefix;
using testsupport::TempDir;
using testsupport::UserSeam;

namespace {

// What the code under test writes to standard error while the object lives.
class StandardError {
public:
    StandardError() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~StandardError() { std::cerr.rdbuf(old_); }
    StandardError(const StandardError &) = delete;
    StandardError &operator=(const StandardError &) = delete;
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf *old_;
};

// A process-wide environment variable set for the object's lifetime.
class VariableForAWhile {
public:
    VariableForAWhile(const wchar_t *name, const std::wstring &value) : name_(name) {
        wchar_t old[32768] = {};
        had_ = GetEnvironmentVariableW(name, old, 32768) != 0;
        old_ = old;
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~VariableForAWhile() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }
    VariableForAWhile(const VariableForAWhile &) = delete;
    VariableForAWhile &operator=(const VariableForAWhile &) = delete;

private:
    const wchar_t *name_;
    bool had_ = false;
    std::wstring old_;
};

// Marlet's run in this process (where the seam is), as Marlet.exe would run the arguments.
int runMarletHere(const std::vector<std::string> &args) {
    std::vector<std::string> all = {"Marlet.exe"};
    all.insert(all.end(), args.begin(), args.end());
    Marlet::Invocation invocation = Marlet::parseCommandLine(all);
    Marlet::loadListFile(invocation);
    return Marlet::run(invocation);
}

// A file's bytes as another program of the user reads them: sharing everything, so that even a
// file open for deleting is read.
std::string readShared(const fs::path &file) {
    const vorla::UniqueFileHandle handle(
        CreateFileW(file.c_str(), GENERIC_READ, safefile::detail::kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (handle && ReadFile(handle.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

// Files of a folder that hold these bytes.
size_t copiesIn(const std::string &folder, const std::string &bytes) {
    size_t found = 0;
    for (const fs::path &file : testsupport::filesIn(testsupport::pathOf(folder)))
        if (readShared(file) == bytes) ++found;
    return found;
}

bool opensFor(const fs::path &object, ACCESS_MASK wanted) {
    const vorla::UniqueFileHandle handle(CreateFileW(object.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                                     safefile::detail::kShareAll, nullptr, OPEN_EXISTING,
                                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return safefile::userMay(handle.get(), wanted);
}

std::string textOf(const fs::path &path) { return testsupport::textOf(path); }

}  // namespace

// Without the seam, Wine shows the branch without a boundary: its limited token is an
// administrator. With it, the user is the restricted token, or another account (Authz, which Wine
// does not implement: every check of that branch refuses there).
TEST(UserRights, WineShowsNoBoundaryAndTheSeamShowsBoth) {
    TempDir dir("rights");
    writeFile(dir / "file.txt", "x");
    EXPECT_EQ(safefile::requester(), safefile::Requester::Process);
    EXPECT_FALSE(safefile::guardedHost());
    EXPECT_TRUE(opensFor(dir / "file.txt", FILE_GENERIC_READ | FILE_GENERIC_WRITE));

    UserSeam seam;
    ASSERT_TRUE(seam.ready());
    EXPECT_EQ(safefile::requester(), safefile::Requester::LinkedToken);
    EXPECT_TRUE(safefile::guardedHost());
    seam.sessionUserIs(L"S-1-5-21-1-2-3-1001");
    EXPECT_EQ(safefile::requester(), safefile::Requester::SessionUser);
    EXPECT_TRUE(safefile::guardedHost());
    EXPECT_FALSE(opensFor(dir / "file.txt", FILE_READ_DATA));
}

// One row per attack of a same-user program on an elevated run; each one failed on the code before
// its defence.
TEST(Attacks, TheElevatedSideDoesOnlyWhatTheUserCould) {
    ASSERT_TRUE(fs::is_directory(utf8ToWide(kLinks + "\\victim"))) << "the prefix hook 30-links.sh did not run";
    UserSeam seam;
    ASSERT_TRUE(seam.ready());
    {  // The set-up check: the seam refuses what is protected and grants what is not.
        TempDir dir("rights-setup");
        writeFile(dir / "protected.txt", "x");
        writeFile(dir / "open.txt", "x");
        seam.describe(dir / "protected.txt", UserSeam::kProtected);
        seam.describe(dir / "open.txt", UserSeam::kOpen);
        ASSERT_FALSE(opensFor(dir / "protected.txt", FILE_READ_DATA)) << "the seam does not deny";
        ASSERT_FALSE(opensFor(dir / "protected.txt", FILE_WRITE_DATA)) << "the seam does not deny";
        ASSERT_TRUE(opensFor(dir / "open.txt", FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE));
        ASSERT_TRUE(opensFor(dir.path(), FILE_ADD_FILE));
    }
    const std::string unwritable = "Unable to open file for writing.\n";

    struct Row {
        const char *attack;
        std::function<void(TempDir &work)> run;
    };
    const std::vector<Row> rows = {
        {"-o naming a file that holds something (win.ini), through Marlet.exe: left as it was",
         [&](TempDir &work) {
             const std::string before = readFile(std::string("C:\\windows\\win.ini"));
             ASSERT_FALSE(before.empty());
             const auto run = runMarlet({"-i", "[]", "-o", "C:\\windows\\win.ini"}, work);
             ASSERT_TRUE(run.finished);
             EXPECT_EQ(run.exitCode, static_cast<DWORD>(Marlet::kExitResultLost));
             EXPECT_EQ(run.err, "Unable to open file for writing.\r\n");
             EXPECT_EQ(readFile(std::string("C:\\windows\\win.ini")), before);
         }},
        {"-o naming an empty file the user may not write: left empty",
         [&](TempDir &work) {
             writeFile(work / "protected.json", "");
             seam.describe(work / "protected.json", UserSeam::kProtected);
             StandardError err;
             EXPECT_EQ(runMarletHere({"-i", "[]", "-o", textOf(work / "protected.json")}), Marlet::kExitResultLost);
             EXPECT_EQ(err.text(), unwritable);
             EXPECT_EQ(fs::file_size(work / "protected.json"), 0u);
         }},
        {"-o naming a new file in a folder the user may not write: not created",
         [&](TempDir &work) {
             fs::create_directories(work / "system");
             seam.describe(work / "system", UserSeam::kProtected);
             StandardError err;
             EXPECT_EQ(runMarletHere({"-i", "[]", "-o", textOf(work / "system" / "evil.txt")}),
                       Marlet::kExitResultLost);
             EXPECT_EQ(err.text(), unwritable);
             EXPECT_FALSE(fs::exists(work / "system" / "evil.txt"));
         }},
        {"the list file the user may not read: not read",
         [&](TempDir &work) {
             const std::string family = uniqueFamily("List");
             writeFile(work / "font.ttf", sfnt::miniFont({family, "", "", ""}));
             writeFile(work / "list.json", "[{\"path\":\"" + jsonPath(textOf(work / "font.ttf")) + "\"}]");
             seam.describe(work / "list.json", UserSeam::kProtected);
             StandardError err;
             EXPECT_EQ(runMarletHere({"-i", "@" + textOf(work / "list.json"), "-o", textOf(work / "r.json")}),
                       Marlet::kExitDone);
             EXPECT_EQ(err.text(), "Unable to read the font list file " + textOf(work / "list.json") + "\n");
             EXPECT_EQ(readFile(work / "r.json"), "[]\r\n");
             EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)").exists);
         }},
        {"a source font the user may not read: 1005, nothing copied",
         [&](TempDir &work) {
             const std::string family = uniqueFamily("Protected");
             const std::string bytes = sfnt::miniFont({family, "", "", ""});
             writeFile(work / "licensed.ttf", bytes);
             seam.describe(work / "licensed.ttf", UserSeam::kProtected);
             EXPECT_EQ(installFontEntry(family, textOf(work / "licensed.ttf")), Status::kNotFound);
             EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)").exists);
             EXPECT_EQ(copiesIn(userFonts(), bytes), 0u);
         }},
        {"a source that is not a font, while another program holds the install lock: 1007 before a byte is "
         "copied, through Marlet.exe",
         [&](TempDir &work) {
             const std::string secret = "not a font: the secret bytes of " + uniqueFamily("Secret");
             writeFile(work / "secret.ttf", secret);
             const vorla::UniqueHandle lock(CreateMutexW(nullptr, FALSE, L"Local\\Vorla.FontInstall"));
             ASSERT_TRUE(lock);
             ASSERT_EQ(WaitForSingleObject(lock.get(), 10000), WAIT_OBJECT_0);
             const std::string list = "[{\\'family\\':\\'Lure\\',\\'path\\':\\'" +
                                      jsonPath(textOf(work / "secret.ttf")) + "\\'}]";
             testsupport::ChildProcess marlet(marletExe(),
                                              {L"-i", utf8ToWide(list), L"-o", (work / "r.json").wstring()},
                                              work.path(), work / "out.txt", work / "err.txt");
             ASSERT_TRUE(marlet.started());
             size_t most = 0;
             for (int i = 0; i < 100 && WaitForSingleObject(marlet.handle(), 100) == WAIT_TIMEOUT; ++i)
                 most = std::max(most, copiesIn(userFonts(), secret));
             most = std::max(most, copiesIn(userFonts(), secret));
             ReleaseMutex(lock.get());
             ASSERT_TRUE(marlet.wait());
             EXPECT_EQ(most, 0u) << "the bytes lay in the per-user fonts folder while the lock was held";
             EXPECT_EQ(readFile(work / "r.json"), "[{\"data\":\"\",\"code\":\"1007\"}]\r\n");
             EXPECT_EQ(copiesIn(userFonts(), secret), 0u);
         }},
        {"a device path as the source: 1005",
         [&](TempDir &work) {
             const std::string family = uniqueFamily("Device");
             writeFile(work / "font.ttf", sfnt::miniFont({family, "", "", ""}));
             EXPECT_EQ(installFontEntry(family, "\\\\.\\" + textOf(work / "font.ttf")), Status::kNotFound);
             EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)").exists);
         }},
        {"a window titled \"AfterFX.exe\" of another program: its program is not started",
         [&](TempDir &) {
             const fs::path lure = adobefix::fixture(L"notes.exe");
             adobefix::RunningFixture app(lure, L"--title AfterFX.exe");
             LogCapture log;
             WindowsInterActive interactive;
             WindowEntity window = app.entity("notes.exe");
             InteractiveFont font{"Myriad Pro", "C:\\fonts\\any.ttf", "MyriadPro-Regular", "Regular"};
             EXPECT_EQ(interactive.applyFontForApplication(&window, &font), Status::kException);
             EXPECT_EQ(readFile(adobefix::recordOf(lure)).find("cmdline"), std::string::npos) << "the lure was started";
             EXPECT_EQ(log.at(el::Level::Warning).size(), 1u);
         }},
        {"a window titled \"Photoshop.exe\" of another program serving Photoshop's object: its program is not "
         "started",
         [&](TempDir &) {
             const fs::path lure = adobefix::fixture(L"notes.exe");
             adobefix::RunningFixture app(lure, L"--title Photoshop.exe --progid Photoshop.Application");
             adobefix::ComApartment com;
             LogCapture log;
             PsStrategy strategy("Photoshop.exe");
             WindowEntity window = app.entity("notes.exe");
             InteractiveFont font{"Myriad Pro", "C:\\fonts\\any.ttf", "MyriadPro-Regular", "Regular"};
             EXPECT_EQ(strategy.handler(&font, &window), Status::kException);
             EXPECT_EQ(readFile(adobefix::recordOf(lure)).find("cmdline"), std::string::npos) << "the lure was started";
             EXPECT_EQ(log.at(el::Level::Warning).size(), 1u);
         }},
        {"the InDesign script's folder through a link: nothing written there, nothing run",
         [&](TempDir &) {
             adobefix::ComApartment com;
             adobefix::InDesignRegistration registration(adobefix::inDesignServer(L"18.5"));
             adobefix::removeRecords(adobefix::scriptHost());
             const auto before = victimFiles();
             LogCapture log;
             {
                 VariableForAWhile tmp(L"TMP", utf8ToWide(kLinks + "\\victim"));
                 VariableForAWhile temp(L"TEMP", utf8ToWide(kLinks + "\\victim"));
                 InDesignStrategy strategy("InDesign.exe");
                 InteractiveFont font{"Minion Pro", "C:\\fonts\\any.ttf", "MinionPro-Regular", "Regular"};
                 WindowEntity window(nullptr, "InDesign.exe", "", "", 0);
                 EXPECT_EQ(strategy.handler(&font, &window), Status::kException);
             }
             EXPECT_EQ(victimFiles(), before) << "the script went into the victim folder";
             EXPECT_FALSE(fs::exists(adobefix::recordOf(adobefix::scriptHost()))) << "the script host ran";
             EXPECT_EQ(log.at(el::Level::Warning).size(), 1u);
             std::error_code ignored;
             fs::remove_all(utf8ToWide(kVictim + "\\VorlaInDesign"), ignored);
         }},
        {"the log folder through a link: no file there, one warning line",
         [&](TempDir &work) {
             const auto before = victimFiles();
             LogCapture log;
             const std::string logPath = kLinks + "\\victim\\";
             VorlaNode::VorlaConfig config{};
             config.logPath = logPath.c_str();
             config.logName = "attack";
             VorlaNode::initLog(config);
             LOG(INFO) << "a line after the set-up";
             el::Loggers::flushAll();
             EXPECT_EQ(victimFiles(), before) << "the log went into the victim folder";
             EXPECT_EQ(log.at(el::Level::Warning).size(), 1u);
             // Back to a log of the test's own.
             const std::string own = work.prefix();
             config.logPath = own.c_str();
             VorlaNode::initLog(config);
             for (const fs::path &file : testsupport::filesIn(kVictim)) {
                 std::error_code ignored;
                 if (file.filename().wstring().rfind(L"attack_", 0) == 0) fs::remove(file, ignored);
             }
         }},
        {"a temporary font the user may not read: 1005, not loaded",
         [&](TempDir &work) {
             const std::string family = uniqueFamily("TempRead");
             writeFile(work / "font.ttf", sfnt::miniFont({family, "", "", ""}));
             seam.describe(work / "font.ttf", UserSeam::kProtected);
             WindowsInterActive interactive;
             const InteractiveFont font{family, textOf(work / "font.ttf"), "", ""};
             EXPECT_EQ(interactive.installTempFont(&font), Status::kNotFound);
             EXPECT_FALSE(removeFontResource(textOf(work / "font.ttf"))) << "the font was loaded";
         }},
        {"a temporary font removed through a swapped folder: 1003, the file kept",
         [&](TempDir &) {
             const std::string family = uniqueFamily("Temp");
             const std::string bytes = sfnt::miniFont({family, "", "", ""});
             writeFile(kVictim + "\\" + family + ".ttf", bytes);
             const std::string path = kLinks + "\\victim\\" + family + ".ttf";
             WindowsInterActive interactive;
             const InteractiveFont font{family, path, "", ""};
             ASSERT_EQ(interactive.installTempFont(&font), Status::kDone);
             LogCapture log;
             EXPECT_EQ(interactive.uninstallTempFont(&font), Status::kTempRemoveRefused);
             EXPECT_EQ(readFile(kVictim + "\\" + family + ".ttf"), bytes) << "the file the link leads to was deleted";
             EXPECT_EQ(log.at(el::Level::Warning).size(), 1u);
             removeFontResource(path);
             std::error_code ignored;
             fs::remove(utf8ToWide(kVictim + "\\" + family + ".ttf"), ignored);
         }},
        {"the undo of an all-users uninstall: the entry as it was read, under its own name",
         [&](TempDir &) {
             const std::string family = uniqueFamily("Undo");
             const std::string file = family + ".ttf";
             const std::string path = systemFontsFolder() + file;
             writeFile(path, sfnt::miniFont({family, "", "", ""}));  // never loaded: its removal fails
             const std::string valueName = family + " (All res)";
             setRawFontValue(HKEY_LOCAL_MACHINE, valueName, REG_SZ, file);
             EXPECT_EQ(uninstallFontEntry(family, "", path), Status::kResourceRemove);
             EXPECT_EQ(readRawFontValue(HKEY_LOCAL_MACHINE, valueName).text, file);
             EXPECT_FALSE(readRawFontValue(HKEY_LOCAL_MACHINE, valueName + " (TrueType)").exists)
                 << "the undo wrote a second entry";
             removeFontResource(path);
             deleteRawFontValue(HKEY_LOCAL_MACHINE, valueName);
             deleteRawFontValue(HKEY_LOCAL_MACHINE, valueName + " (TrueType)");
             std::error_code ignored;
             fs::remove(utf8ToWide(path), ignored);
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.attack);
        TempDir work("rights-row");
        const auto before = victimFiles();
        row.run(work);
        EXPECT_EQ(victimFiles(), before) << "a file outside the fonts folders was written or deleted";
    }
}

// The rules of an elevated host that a refusal alone does not show: what it still does.
TEST(UserRights, AnElevatedHostStartsAnApplicationOnlyWhenTheUserCannotChangeIt) {
    const fs::path exe = adobefix::fixture(L"AfterFX.exe");
    struct Case {
        const char *what;
        const wchar_t *folder, *image;
        bool started;
    } cases[] = {
        {"the user may write the folder", UserSeam::kOpen, UserSeam::kProtected, false},
        {"the user may write the image", UserSeam::kProtected, UserSeam::kOpen, false},
        {"the user may change neither", UserSeam::kProtected, UserSeam::kProtected, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        adobefix::RunningFixture app(exe, L"");
        UserSeam seam;
        seam.describe(exe.parent_path(), c.folder);
        seam.describe(exe, c.image);
        LogCapture log;
        AfterEffectsStrategy strategy("AfterFX.exe");
        InteractiveFont font{"Myriad Pro", "C:\\fonts\\any.ttf", "MyriadPro-Regular", "Regular"};
        WindowEntity window = app.entity("AfterFX.exe");
        EXPECT_EQ(strategy.handler(&font, &window), c.started ? Status::kDone : Status::kException);
        EXPECT_EQ(readFile(adobefix::recordOf(exe)).find("cmdline") != std::string::npos, c.started);
        EXPECT_EQ(log.at(el::Level::Warning).size(), c.started ? 0u : 1u);
    }
}

TEST(UserRights, AnElevatedHostRunsTheInDesignScriptFromAProtectedFolderOfTheRun) {
    adobefix::ComApartment com;
    adobefix::InDesignRegistration registration(adobefix::inDesignServer(L"18.5"));
    adobefix::removeRecords(adobefix::scriptHost());
    UserSeam seam;
    InDesignStrategy strategy("InDesign.exe");
    InteractiveFont font{"Minion Pro", "C:\\fonts\\any.ttf", "MinionPro-Regular", "Regular"};
    WindowEntity window(nullptr, "InDesign.exe", "", "", 0);
    EXPECT_EQ(strategy.handler(&font, &window), Status::kDone);
    std::vector<std::string> args;
    for (const auto &line : testsupport::lines(readFile(adobefix::recordOf(adobefix::scriptHost()))))
        if (line.rfind("arg\t", 0) == 0) args.push_back(line.substr(4));
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0], "/e:vbscript");
    const fs::path script = testsupport::pathOf(args[1]);
    EXPECT_EQ(script.filename(), "applyFont.vbs");
    EXPECT_TRUE(safefile::samePath(script.parent_path().parent_path().wstring(),
                                   safefile::longPathOf(fs::temp_directory_path().wstring())))
        << args[1];
    EXPECT_EQ(script.parent_path().filename().wstring().rfind(L"VorlaInDesign-", 0), 0u) << args[1];
    EXPECT_FALSE(fs::exists(script.parent_path())) << "the run's folder stayed";
}

TEST(UserRights, AnElevatedHostLogsThroughTheCheckedHandle) {
    UserSeam seam;
    TempDir first("rights-log"), second("rights-log");
    LogCapture log;
    for (const TempDir *dir : {&first, &second}) {
        const std::string prefix = dir->prefix();
        VorlaNode::VorlaConfig config{};
        config.logPath = prefix.c_str();
        config.logName = "checked";
        VorlaNode::initLog(config);
        LOG(INFO) << "a line for " << prefix;
    }
    EXPECT_TRUE(log.at(el::Level::Warning).empty());
    for (const TempDir *dir : {&first, &second}) {
        const auto files = testsupport::filesIn(dir->path());
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].filename().wstring().rfind(L"checked_", 0), 0u);
        const std::string text = readShared(files[0]);
        EXPECT_NE(text.find("] | [初始化]\t[成功]\t(loglevel:)\t(logPath:" + dir->prefix() + "checked)\r\n"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("] | a line for " + dir->prefix() + "\r\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("a line for " + (dir == &first ? second : first).prefix()), std::string::npos) << text;
    }
    VorlaNode::VorlaConfig none{};
    VorlaNode::initLog(none);
}
