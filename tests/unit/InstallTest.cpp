// Permanent install and transactional uninstall of the installation core, as both
// binaries run them (the per-font entry logic), on the real Wine registry, fonts
// folders and font table. Log lines are those this process writes.
#include "common/Status.h"
#include "interactive/win/FontUtil.h"
#include "support/FontChangeWatcher.h"
#include "support/ChildProcess.h"
#include "support/CoreFixtures.h"
#include "support/TestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;
using namespace corefix;
using vorla::utf8ToWide;
using vorla::wideToUtf8;
using sfnt::kFamily;
using sfnt::kFullName;
using sfnt::windowsName;

namespace {

using testsupport::FontChangeWatcher;

const std::string kUserRule = std::string("[当前用户字体]\t") + std::string(144, '-');
const std::string kSystemRule = std::string("[系统所有用户字体]\t") + std::string(144, '-');

// A font family that the GDI font table of this process knows.
bool sessionKnowsFamily(const std::string &family) {
    LOGFONTW lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    const std::wstring wide = utf8ToWide(family);
    wcsncpy(lf.lfFaceName, wide.c_str(), LF_FACESIZE - 1);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(
        dc, &lf,
        [](const LOGFONTW *, const TEXTMETRICW *, DWORD, LPARAM p) -> int {
            *reinterpret_cast<bool *>(p) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

std::vector<std::string> filesIn(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(utf8ToWide(folder), ec)) {
        names.push_back(wideToUtf8(entry.path().filename().wstring()));
    }
    return names;
}

// Removes what an install of this value name left behind: the entry and the file it names.
void cleanUp(HKEY root, const std::string &valueName) {
    const RawValue value = readRawFontValue(root, valueName);
    if (value.exists) {
        removeFontResource(value.text);
        std::error_code ec;
        fs::remove(utf8ToWide(value.text), ec);
    }
    deleteRawFontValue(root, valueName);
}

}  // namespace

TEST(PersistentInstall, CopiesAndRegistersUnderTheNameFromTheFont) {
    const std::string folder = scratchFolder("install-basic");
    const std::string source = folder + "\\VorlaBasic.ttf";
    const std::string bytes = renamedDejaVu("VorlaBasic",
                                            {windowsName(kFullName, sfnt::kWinChineseSimplified, "沃拉 基本 常规")});
    writeFile(source, bytes);
    const std::string valueName = "沃拉 基本 常规 (TrueType)";
    const std::string destination = localFontsFolder() + "VorlaBasic.ttf";

    FontChangeWatcher watcher;
    ASSERT_TRUE(watcher.ready());
    LogCapture log;
    EXPECT_EQ(installFontEntry("Caller Family", source), Status::kDone);

    const RawValue value = readRawFontValue(HKEY_CURRENT_USER, valueName);
    ASSERT_TRUE(value.exists);
    EXPECT_EQ(value.text, destination);
    EXPECT_EQ(readFile(destination), bytes);
    EXPECT_TRUE(exists(source));
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "Caller Family (TrueType)").exists);
    EXPECT_TRUE(sessionKnowsFamily("VorlaBasic"));  // usable at once
    EXPECT_EQ(log.messages(), std::vector<std::string>{"[当前用户字体]\t[字体安装]\t[成功]\t(0)"});
    EXPECT_EQ(watcher.count(), 1);
    cleanUp(HKEY_CURRENT_USER, valueName);
}

TEST(PersistentInstall, FreshProfileGetsItsFolderAndKey) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kFontsKeyW);
    RegDeleteKeyW(HKEY_CURRENT_USER, kFontsKeyW);
    std::error_code ec;
    fs::remove_all(utf8ToWide(localFontsFolder()), ec);
    ASSERT_FALSE(exists(localFontsFolder()));

    const std::string source = scratchFolder("install-fresh") + "\\VorlaFresh.ttf";
    writeFile(source, renamedDejaVu("VorlaFresh"));
    EXPECT_EQ(installFontEntry("", source), Status::kDone);
    const RawValue value = readRawFontValue(HKEY_CURRENT_USER, "VorlaFresh (TrueType)");
    ASSERT_TRUE(value.exists);
    EXPECT_EQ(value.text, localFontsFolder() + "VorlaFresh.ttf");
    EXPECT_TRUE(exists(value.text));
    cleanUp(HKEY_CURRENT_USER, "VorlaFresh (TrueType)");
}

TEST(PersistentInstall, CallerFamilyIsTheFallbackName) {
    const std::string folder = scratchFolder("install-fallback");
    struct Case {
        const char *what;
        std::string bytes;
        std::string family, valueName;
    };
    const std::vector<Case> cases = {
        // Loads as a font, but names only in German and French.
        {"no Chinese, English or Japanese name",
         dejaVuWithNames({windowsName(kFamily, sfnt::kWinGerman, "VorlaNurDeutsch"),
                          windowsName(sfnt::kSubfamily, sfnt::kWinGerman, "Normal"),
                          windowsName(kFullName, 0x040C, "VorlaFrancais")}),
         "VorlaFallback Caller", "VorlaFallback Caller (TrueType)"},
        {"caller family already holding the suffix", renamedDejaVu("VorlaSuffixed", {}), "ignored",
         "VorlaSuffixed (TrueType)"},
    };
    for (const Case &c : cases) {
        const std::string source = folder + "\\" + c.family + ".ttf";
        writeFile(source, c.bytes);
        EXPECT_EQ(installFontEntry(c.family, source), Status::kDone) << c.what;
        EXPECT_TRUE(readRawFontValue(HKEY_CURRENT_USER, c.valueName).exists) << c.what;
        cleanUp(HKEY_CURRENT_USER, c.valueName);
    }
}

TEST(PersistentInstall, RefusedFontLeavesNoEntryAndNoCopy) {
    const std::string folder = scratchFolder("install-refused");
    const std::string source = folder + "\\VorlaNotAFont.ttf";
    writeFile(source, "This file has a font's extension but text inside.");
    // An entry of the same name from an earlier install must survive the undo.
    setRawFontValue(HKEY_CURRENT_USER, "VorlaRefusedKept (TrueType)", REG_SZ, "C:\\earlier\\kept.ttf");

    FontChangeWatcher watcher;
    LogCapture log;
    EXPECT_EQ(installFontEntry("VorlaRefused", source), Status::kPlatformRefusedFont);
    EXPECT_EQ(installFontEntry("VorlaRefusedKept", source), Status::kPlatformRefusedFont);

    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaRefused (TrueType)").exists);
    EXPECT_EQ(readRawFontValue(HKEY_CURRENT_USER, "VorlaRefusedKept (TrueType)").text, "C:\\earlier\\kept.ttf");
    const std::vector<std::string> left = filesIn(localFontsFolder());
    for (const std::string &name : left) EXPECT_EQ(name.find("VorlaNotAFont"), std::string::npos) << name;
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"[当前用户字体]\t[字体安装]\t[失败]\t(1007)",
                                                        "[当前用户字体]\t[字体安装]\t[失败]\t(1007)"}));
    EXPECT_EQ(watcher.count(), 2);  // every attempt on an existing file is broadcast
    deleteRawFontValue(HKEY_CURRENT_USER, "VorlaRefusedKept (TrueType)");
}

TEST(PersistentInstall, RepeatInstallsKeepOneCopy) {
    const std::string source = scratchFolder("install-repeat") + "\\VorlaRepeat.ttf";
    writeFile(source, renamedDejaVu("VorlaRepeat"));
    const std::string fonts = localFontsFolder();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(installFontEntry("", source), Status::kDone);
        EXPECT_EQ(readRawFontValue(HKEY_CURRENT_USER, "VorlaRepeat (TrueType)").text, fonts + "VorlaRepeat.ttf");
        EXPECT_FALSE(exists(fonts + "0_VorlaRepeat.ttf"));
    }
    removeFontResource(fonts + "VorlaRepeat.ttf");
    std::error_code ec;
    fs::remove(utf8ToWide(fonts + "VorlaRepeat.ttf"), ec);
    deleteRawFontValue(HKEY_CURRENT_USER, "VorlaRepeat (TrueType)");
}

TEST(PersistentInstall, MissingOrUnreadableSourceGives1005) {
    const std::string folder = scratchFolder("install-missing");
    fs::create_directories(utf8ToWide(folder + "\\VorlaFolder.ttf"));
    const std::vector<std::string> before = filesIn(localFontsFolder());

    FontChangeWatcher watcher;
    LogCapture log;
    EXPECT_EQ(installFontEntry("VorlaMissing", folder + "\\absent.ttf"), Status::kNotFound);
    EXPECT_EQ(installFontEntry("VorlaMissing", ""), Status::kNotFound);
    EXPECT_TRUE(log.messages().empty());
    EXPECT_EQ(watcher.count(), 0);  // a missing file is not broadcast

    // A folder passes the existence test but cannot be read: nothing copied, but broadcast.
    EXPECT_EQ(installFontEntry("VorlaMissing", folder + "\\VorlaFolder.ttf"), Status::kNotFound);
    EXPECT_EQ(log.messages(), std::vector<std::string>{"[当前用户字体]\t[字体安装]\t[失败]\t(1005)"});
    EXPECT_EQ(watcher.count(), 1);
    EXPECT_EQ(filesIn(localFontsFolder()), before);
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaMissing (TrueType)").exists);
}

TEST(PersistentInstall, ScopeFailures) {
    const std::string folder = scratchFolder("install-scope");
    const std::string source = folder + "\\VorlaScope.ttf";
    writeFile(source, renamedDejaVu("VorlaScope"));
    LogCapture log;
    // Neither current user nor all users: refused at once, without a log line.
    EXPECT_EQ(persistentFontInstall(HKEY_USERS, "VorlaScope", source), Status::kException);
    EXPECT_TRUE(log.messages().empty());
    // A scope whose Fonts key cannot be opened: 1011, and the copy stays behind.
    const std::string target = scratchFolder("install-scope-target") + "\\";
    EXPECT_EQ(installFontFile(HKEY_USERS, "VorlaScope", source, target), Status::kRegistry);
    EXPECT_TRUE(exists(target + "VorlaScope.ttf"));
    // A destination folder that cannot be made: 1013.
    EXPECT_EQ(installFontFile(HKEY_LOCAL_MACHINE, "VorlaScope", source, source + "\\sub\\"), Status::kCopy);
    // The per-user folder text without a profile folder in front (its special-folder lookup
    // failed) is drive-relative: nothing is created at the root of a drive, the copy fails.
    EXPECT_EQ(installFontFile(HKEY_CURRENT_USER, "VorlaScope", source, "\\VorlaNoProfile\\Fonts\\"), Status::kCopy);
    EXPECT_FALSE(exists("\\VorlaNoProfile"));
}

TEST(PersistentUninstall, PerUserFontInstalledThenUninstalled) {
    const std::string source = scratchFolder("uninstall-user") + "\\VorlaRoundTrip.ttf";
    writeFile(source, renamedDejaVu("VorlaRoundTrip"));
    ASSERT_EQ(installFontEntry("", source), Status::kDone);
    const std::string installed = readRawFontValue(HKEY_CURRENT_USER, "VorlaRoundTrip (TrueType)").text;
    ASSERT_TRUE(exists(installed));

    FontChangeWatcher watcher;
    LogCapture log;
    EXPECT_EQ(uninstallFontEntry("ignored family", "ignored-ps", installed), Status::kDone);
    EXPECT_FALSE(exists(installed));
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaRoundTrip (TrueType)").exists);
    EXPECT_EQ(log.at(el::Level::Info),
              (std::vector<std::string>{"[当前用户字体]\t[字体卸载]\t[成功]\t(0)", kUserRule}));
    EXPECT_EQ(log.messages().size(), 2u);
    EXPECT_EQ(watcher.count(), 1);
    EXPECT_TRUE(exists(source));
}

TEST(PersistentUninstall, AllUsersFontUsesTheMachineScope) {
    const std::string file = std::string("C:\\windows\\Fonts\\VorlaMachine.ttf");
    writeFile(file, renamedDejaVu("VorlaMachine"));
    setRawFontValue(HKEY_LOCAL_MACHINE, "VorlaMachine (TrueType)", REG_SZ, "VorlaMachine.ttf");  // bare name
    ASSERT_TRUE(addFontResource(file));

    LogCapture log;
    EXPECT_EQ(uninstallFontEntry("", "", "C:/Windows/Fonts/VORLAMACHINE.TTF"), Status::kDone);
    EXPECT_FALSE(exists(file));
    EXPECT_FALSE(readRawFontValue(HKEY_LOCAL_MACHINE, "VorlaMachine (TrueType)").exists);
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"[系统所有用户字体]\t[字体卸载]\t[成功]\t(0)", kSystemRule}));
}

TEST(PersistentUninstall, FileWithoutEntryIsNotFound) {
    const std::string file = scratchFolder("uninstall-noentry") + "\\VorlaNoEntry.ttf";
    writeFile(file, renamedDejaVu("VorlaNoEntry"));
    ASSERT_TRUE(addFontResource(file));

    FontChangeWatcher watcher;
    LogCapture log;
    EXPECT_EQ(uninstallFontEntry("", "", file), Status::kNotFound);
    EXPECT_EQ(log.at(el::Level::Debug),
              std::vector<std::string>{"[注册表]\t[当前用户字体]\t字体\t[未找到]\t(" + file + ")"});
    EXPECT_EQ(log.messages().size(), 1u);
    EXPECT_TRUE(exists(file));
    EXPECT_TRUE(removeFontResource(file));  // the font table was left alone
    EXPECT_EQ(watcher.count(), 1);

    // No file at all: 1005 at the entry, silent, nothing broadcast.
    EXPECT_EQ(uninstallFontEntry("", "", file + ".missing"), Status::kNotFound);
    EXPECT_EQ(log.messages().size(), 1u);
    EXPECT_EQ(watcher.count(), 0);

    // A blank path: only the closing rule.
    EXPECT_EQ(persistentFontUnInstall(HKEY_CURRENT_USER, "", "", " \t"), Status::kNotFound);
    EXPECT_EQ(log.messages().back(), kUserRule);
}

namespace {

std::vector<std::string> compensationBlock(const std::string &entryName, const std::string &path,
                                           const char *registryOutcome, const char *resourceOutcome) {
    return {"[当前用户字体]\t\tstrict Mode is True ",
            "------------------------[Transactional begin]------------------------",
            "[注册表]\t[Call\tBack\tStart]\t(" + entryName + ")",
            std::string("[注册表]\t[CallBack]\t") + registryOutcome,
            "[系统列表]\t[Call\tBack\tStart]\t(" + path + ")",
            std::string("[系统列表]\t[CallBack]\t") + resourceOutcome,
            "------------------------[Transactional   end]------------------------"};
}

}  // namespace

// An entry for a file that this session never loaded: the resource removal is refused.
TEST(PersistentUninstall, RefusedResourceRemovalIsCompensated) {
    const std::string file = scratchFolder("uninstall-1015") + "\\VorlaNeverLoaded.ttf";
    writeFile(file, renamedDejaVu("VorlaNeverLoaded"));
    setRawFontValue(HKEY_CURRENT_USER, "VorlaNeverLoaded", REG_SZ, toUpper(file));  // written by other software

    LogCapture log;
    EXPECT_EQ(uninstallFontEntry("", "", file), Status::kResourceRemove);

    std::vector<std::string> expected = {"[当前用户字体]\t[系统列表]\t[删除]\t[失败]\t(" + file + ")"};
    const auto block = compensationBlock("VorlaNeverLoaded", file, "[Success]", "[Success]");
    expected.insert(expected.end(), block.begin(), block.end());
    expected.push_back("[当前用户字体]\t[字体卸载]\t[失败]\t(1015)");
    expected.push_back(kUserRule);
    EXPECT_EQ(log.messages(), expected);
    EXPECT_EQ(log.at(el::Level::Info).size(), 2u);

    // The undo puts back the entry exactly as it was read, its name and its data: no second value.
    EXPECT_EQ(readRawFontValue(HKEY_CURRENT_USER, "VorlaNeverLoaded").text, toUpper(file));
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaNeverLoaded (TrueType)").exists);
    EXPECT_TRUE(exists(file));
    EXPECT_TRUE(removeFontResource(file));  // re-added by the compensation
    deleteRawFontValue(HKEY_CURRENT_USER, "VorlaNeverLoaded");
    deleteRawFontValue(HKEY_CURRENT_USER, "VorlaNeverLoaded (TrueType)");
}

// The registry refuses the delete when the entry the lookup found is gone by then, for
// example deleted by the installer program at the same moment. The delete step used here
// lets that other process win the race, then makes the real delete.
TEST(PersistentUninstall, RefusedRegistryDeleteIsCompensated) {
    const std::string file = scratchFolder("uninstall-1011") + "\\VorlaRace.ttf";
    writeFile(file, renamedDejaVu("VorlaRace"));
    setRawFontValue(HKEY_CURRENT_USER, "VorlaRace (TrueType)", REG_SZ, file);
    ASSERT_TRUE(addFontResource(file));
    FontRegDelete racingDelete = [](HKEY root, const winreg::KeyHandle &key, const std::string &valueName) {
        deleteRawFontValue(root, valueName);  // the other process
        return removeFontEntry(root, key, valueName);
    };

    LogCapture log;
    EXPECT_EQ(persistentFontUnInstall(HKEY_CURRENT_USER, "", "", file, racingDelete), Status::kRegistry);

    std::vector<std::string> expected = {"[注册表]\t[当前用户字体]\t[删除]\t[失败]\t" + file};
    const auto block = compensationBlock("VorlaRace (TrueType)", file, "[Success]", "[Success]");
    expected.insert(expected.end(), block.begin(), block.end());
    expected.push_back("[当前用户字体]\t[字体卸载]\t[失败]\t(1011)");
    expected.push_back(kUserRule);
    EXPECT_EQ(log.messages(), expected);

    // Entry and resource are back: the font is still installed and usable.
    EXPECT_TRUE(exists(file));
    EXPECT_EQ(readRawFontValue(HKEY_CURRENT_USER, "VorlaRace (TrueType)").text, file);
    EXPECT_TRUE(sessionKnowsFamily("VorlaRace"));
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaRace (TrueType) (TrueType)").exists);
    EXPECT_EQ(uninstallFontEntry("", "", file), Status::kDone);  // and a later uninstall goes through
}

// Names and paths outside the ANSI code page survive install and uninstall unchanged.
// Registered a second time with LANG=zh_CN.UTF-8 (code page 936): VORLA_EXPECT_ACP says which.
TEST(PersistentInstall, AnyTextInAnyCodePage) {
    if (const char *acp = std::getenv("VORLA_EXPECT_ACP")) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp)));
    }
    const std::string folder = scratchFolder("install-unicode-字体");
    struct Case {
        std::string file, fullName;
    };
    const std::vector<Case> cases = {
        {"思源 字体 𠀋.ttf", "沃拉 宋体 𠀋 常规"},
        {"Ελληνικά ñ 𝄞.ttf", "Vorla Ωmega 𝄞 ñ"},
    };
    for (const Case &c : cases) {
        const std::string source = folder + "\\" + c.file;
        writeFile(source,
                  renamedDejaVu("VorlaUnicode", {windowsName(kFullName, sfnt::kWinChineseSimplified, c.fullName)}));
        ASSERT_EQ(installFontEntry("", source), Status::kDone) << c.file;
        const RawValue value = readRawFontValue(HKEY_CURRENT_USER, c.fullName + " (TrueType)");
        ASSERT_TRUE(value.exists) << c.fullName;
        EXPECT_EQ(value.text, localFontsFolder() + c.file);
        EXPECT_EQ(readFile(value.text).size(), readFile(source).size());
        EXPECT_EQ(uninstallFontEntry("", "", value.text), Status::kDone) << c.file;
        EXPECT_FALSE(exists(value.text));
        EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, c.fullName + " (TrueType)").exists);
    }
}

// A Fonts key holding 2,000 other entries, each naming an existing small file (the first
// ones under the file names of the installed copies, in another folder): fonts uninstall
// in this process, through the library's export in a process of its own and through
// Marlet, and every other entry stays as it was.
TEST(LargeFontsKey, UninstallsAmongTwoThousandOtherEntries) {
    const std::string folder = scratchFolder("large-key");
    const std::string others = folder + "\\others";
    fs::create_directories(utf8ToWide(others));
    std::vector<std::string> copies;
    for (int i = 0; i < 4; ++i) {
        const std::string family = "VorlaLarge" + std::to_string(i);
        const std::string source = folder + "\\" + family + ".ttf";
        writeFile(source, renamedDejaVu(family));
        ASSERT_EQ(installFontEntry("", source), Status::kDone);
        copies.push_back(readRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)").text);
        ASSERT_TRUE(exists(copies.back()));
    }
    const int kOthers = 2000;
    std::vector<std::string> otherFiles;
    for (int i = 0; i < kOthers; ++i) {
        const std::string file = others + "\\" + (i < 4 ? fileNameOf(copies[i]) : std::to_string(i) + ".ttf");
        writeFile(file, "x");
        setRawFontValue(HKEY_CURRENT_USER, "Aa VorlaOther " + std::to_string(i) + " (TrueType)", REG_SZ, file);
        otherFiles.push_back(file);
    }

    EXPECT_EQ(uninstallFontEntry("", "", copies[0]), Status::kDone);

    const fs::path build = testsupport::buildDir();
    const fs::path work = testsupport::pathOf(folder);
    const auto call = testsupport::runProgram((build / L"tests" / L"bin" / L"fontcall.exe").wstring(),
                                              {L"uninstall", utf8ToWide(copies[1])}, work, work);
    ASSERT_TRUE(call.finished);
    EXPECT_EQ(testsupport::lines(call.out).back(), "0");

    // The list as the front end passes it: each double quote as backslash-apostrophe.
    std::string list = "[";
    for (size_t i = 2; i < copies.size(); ++i) {
        std::string path;
        for (char c : copies[i]) path += c == '\\' ? std::string("\\\\") : std::string(1, c);
        list += std::string(list.size() > 1 ? "," : "") + "{\\'path\\':\\'" + path + "\\'}";
    }
    list += "]";
    const auto marlet = testsupport::runProgram((build / L"Marlet.exe").wstring(), {L"-u", utf8ToWide(list)}, work,
                                                work);
    ASSERT_TRUE(marlet.finished);
    EXPECT_EQ(testsupport::lines(marlet.out).back(), "[{\"data\":\"\",\"code\":\"0\"},{\"data\":\"\",\"code\":\"0\"}]");

    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaLarge" + std::to_string(i) + " (TrueType)").exists);
        EXPECT_FALSE(exists(copies[i])) << copies[i];
    }
    for (int i = 0; i < kOthers; ++i) {
        const std::string name = "Aa VorlaOther " + std::to_string(i) + " (TrueType)";
        EXPECT_EQ(readRawFontValue(HKEY_CURRENT_USER, name).text, otherFiles[i]) << name;
        EXPECT_TRUE(exists(otherFiles[i]));
        deleteRawFontValue(HKEY_CURRENT_USER, name);
    }
}
