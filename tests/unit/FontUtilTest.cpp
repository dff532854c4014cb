// Installation core helpers: text and paths, the registry layer, font
// registry entries and the file and font-resource operations, on the real Wine
// registry and file system of the test prefix.
#include "interactive/win/FontUtil.h"
#include "support/CoreFixtures.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace fs = std::filesystem;
using namespace corefix;

TEST(TextHelpers, FollowTheirRules) {
    struct Case {
        std::string in, lower, fileName;
        bool blank;
    };
    const std::vector<Case> cases = {
        {"", "", "", true},
        {" \t\r\n", " \t\r\n", " \t\r\n", true},
        {"\v", "\v", "\v", false},
        {"\f ", "\f ", "\f ", false},
        {"C:\\A\\B.TTF", "c:\\a\\b.ttf", "B.TTF", false},
        {"C:/a/b.ttf", "c:/a/b.ttf", "b.ttf", false},
        {"a.b.TTF", "a.b.ttf", "a.b.TTF", false},
        {"abc.", "abc.", "abc.", false},
        {"abc", "abc", "abc", false},
        {".ttf", ".ttf", ".ttf", false},
        {"\\b.ttf", "\\b.ttf", "\\b.ttf", false},  // a leading separator alone does not count
        {"x\\", "x\\", "", false},
        {"Ä字\\Ü.TTF", "Ä字\\Ü.ttf", "Ü.TTF", false},  // only ASCII letters change
    };
    for (const Case &c : cases) {
        EXPECT_EQ(toLower(c.in), c.lower) << c.in;
        EXPECT_EQ(fileNameOf(c.in), c.fileName) << c.in;
        EXPECT_EQ(isBlank(c.in), c.blank) << c.in;
    }
}

TEST(TextHelpers, WeaklyCanonicalTextNormalisesPaths) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:/windows/Fonts/../Fonts/./a.ttf", "c:\\windows\\fonts\\a.ttf"},
        {"C:\\windows\\missing\\dir\\..\\b.ttf", "c:\\windows\\missing\\b.ttf"},
        {"c:\\WINDOWS\\FONTS\\字.ttf", "c:\\windows\\fonts\\字.ttf"},
    };
    for (const auto &c : cases) EXPECT_EQ(toLower(weaklyCanonicalText(c.first)), c.second) << c.first;
}

TEST(RegistryLayer, ReadsOnlyStringValues) {
    ScratchKey scratch("ReadString");
    const std::wstring expand = L"%TEMP%\\x";
    const BYTE binary[] = {1, 2, 3};
    const DWORD number = 7;
    const std::wstring text = L"值 value";
    RegSetValueExW(scratch.key, L"sz", 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * 2));
    RegSetValueExW(scratch.key, L"empty", 0, REG_SZ, reinterpret_cast<const BYTE *>(L""), 2);
    RegSetValueExW(scratch.key, L"expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE *>(expand.c_str()),
                   static_cast<DWORD>((expand.size() + 1) * 2));
    RegSetValueExW(scratch.key, L"binary", 0, REG_BINARY, binary, sizeof binary);
    RegSetValueExW(scratch.key, L"dword", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof number);

    winreg::KeyHandle key;
    ASSERT_EQ(key.open(HKEY_CURRENT_USER, scratch.path), ERROR_SUCCESS);
    EXPECT_EQ(key.readString("sz"), "值 value");
    for (const char *name : {"empty", "expand", "binary", "dword", "missing"}) {
        EXPECT_EQ(key.readString(name), "") << name;
    }

    const std::vector<winreg::ValueEntry> values = key.listValues();
    std::map<std::string, DWORD> types;
    for (const auto &v : values) types[v.name] = v.type;
    EXPECT_EQ(values.size(), 5u);
    EXPECT_EQ(types, (std::map<std::string, DWORD>{{"sz", REG_SZ},
                                                   {"empty", REG_SZ},
                                                   {"expand", REG_EXPAND_SZ},
                                                   {"binary", REG_BINARY},
                                                   {"dword", REG_DWORD}}));

    ScratchKey emptyKey("NoValues");
    winreg::KeyHandle empty;
    ASSERT_EQ(empty.open(HKEY_CURRENT_USER, emptyKey.path), ERROR_SUCCESS);
    EXPECT_TRUE(empty.listValues().empty());
}

TEST(RegistryLayer, ReportsFailuresAsStatusOrRegException) {
    winreg::KeyHandle missing;
    EXPECT_EQ(missing.open(HKEY_CURRENT_USER, "Software\\Vorla\\Does\\Not\\Exist"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(missing);
    try {
        missing.listValues();
        FAIL() << "listing an unopened key must throw";
    } catch (const winreg::RegException &e) {
        EXPECT_NE(e.code().value(), 0);
        EXPECT_EQ(e.code().category(), std::system_category());
        EXPECT_NE(std::string(e.what()).find("RegQueryInfoKeyW failed while preparing for value enumeration."),
                  std::string::npos);
    }
    const std::runtime_error &asRuntime = winreg::RegException(5, "Cannot get string value: RegGetValue failed.");
    EXPECT_NE(std::string(asRuntime.what()).find("Cannot get string value: RegGetValue failed."), std::string::npos);
}

TEST(RegistryLayer, NeverClosesPredefinedRoots) {
    for (HKEY root :
         {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_PERFORMANCE_DATA,
          HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER_LOCAL_SETTINGS, HKEY_PERFORMANCE_TEXT, HKEY_PERFORMANCE_NLSTEXT}) {
        EXPECT_TRUE(winreg::KeyHandle::isPredefined(root));
        winreg::KeyHandle holder(root);
        holder.close();
        EXPECT_FALSE(holder);
    }
    EXPECT_FALSE(winreg::KeyHandle::isPredefined(HKEY_DYN_DATA));
    // A holder of HKCU goes out of scope and HKCU still works.
    { winreg::KeyHandle holder(HKEY_CURRENT_USER); }
    HKEY probe = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &probe), ERROR_SUCCESS);

    // An opened key is really closed: its handle is dead afterwards.
    winreg::KeyHandle opened;
    ASSERT_EQ(opened.open(HKEY_CURRENT_USER, "Software"), ERROR_SUCCESS);
    HKEY raw = opened.get();
    EXPECT_FALSE(winreg::KeyHandle::isPredefined(raw));
    opened.close();
    DWORD values = 0;
    EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_INVALID_HANDLE);
    RegCloseKey(probe);
}

TEST(FontEntries, NameSuffixAndDataForm) {
    struct Case {
        std::string family, valueName;
    };
    const std::vector<Case> cases = {
        {"VorlaSuffix Foo", "VorlaSuffix Foo (TrueType)"},
        {"VorlaSuffix Bar (TrueType)", "VorlaSuffix Bar (TrueType)"},
        {"VorlaSuffix Baz(TrueType)Qux", "VorlaSuffix Baz(TrueType)Qux"},
        {"VorlaSuffix Low (truetype)", "VorlaSuffix Low (truetype) (TrueType)"},
        {"VorlaSuffix 宋体", "VorlaSuffix 宋体 (TrueType)"},
    };
    const std::string data = "C:\\Windows\\Fonts\\abc.ttf";
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const Case &c : cases) {
            ASSERT_TRUE(setFontRegValueByFamilyAndPath(root, c.family, data)) << c.family;
            const RawValue raw = readRawFontValue(root, c.valueName);
            EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ)) << c.valueName;
            // The path and exactly one terminating NUL.
            EXPECT_EQ(raw.bytes, (data.size() + 1) * sizeof(wchar_t)) << c.valueName;
            EXPECT_EQ(raw.text, data) << c.valueName;
            EXPECT_EQ(getFontRegStringValueByName(root, c.valueName), data);
            EXPECT_TRUE(deleteFontRegValue(root, c.valueName));
            EXPECT_FALSE(readRawFontValue(root, c.valueName).exists);
        }
    }
    // Writing back a full value name (the uninstall's undo) adds no second suffix.
    ASSERT_TRUE(setFontRegValueByFamilyAndPath(HKEY_CURRENT_USER, "VorlaSuffix Undo (TrueType)", data));
    EXPECT_TRUE(readRawFontValue(HKEY_CURRENT_USER, "VorlaSuffix Undo (TrueType)").exists);
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaSuffix Undo (TrueType) (TrueType)").exists);
    deleteFontRegValue(HKEY_CURRENT_USER, "VorlaSuffix Undo (TrueType)");
    // A root whose Fonts key cannot be opened (and is never created there) fails quietly.
    EXPECT_FALSE(setFontRegValueByFamilyAndPath(HKEY_USERS, "VorlaSuffix Nowhere", data));
    EXPECT_FALSE(deleteFontRegValue(HKEY_USERS, "VorlaSuffix Nowhere (TrueType)"));
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_USERS, data), "");
}

TEST(FontEntries, LookupMatchesTheCanonicalPath) {
    const std::string folder = scratchFolder("lookup");
    const std::string stored = toLower(folder) + "\\vorlalookup.ttf";
    ASSERT_TRUE(setFontRegValueByFamilyAndPath(HKEY_CURRENT_USER, "VorlaLookup", stored));
    ASSERT_TRUE(
        setFontRegValueByFamilyAndPath(HKEY_LOCAL_MACHINE, "VorlaLookupSys", "c:\\windows\\fonts\\vorlalookupsys.ttf"));
    // Values of other types in the key are passed over without error.
    setRawFontValue(HKEY_CURRENT_USER, "  VorlaLookup binary", REG_BINARY, "\x01\x02");
    setRawFontValue(HKEY_CURRENT_USER, "  VorlaLookup expand", REG_EXPAND_SZ, "%WINDIR%");
    LogCapture log;

    const std::vector<std::string> perUser = {
        folder + "\\VorlaLookup.ttf",
        toUpper(folder) + "\\VORLALOOKUP.TTF",
        slashes(folder) + "/vorlalookup.ttf",
        folder + "\\sub\\..\\.\\VorlaLookup.ttf",
    };
    for (const std::string &path : perUser) {
        EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, path), "VorlaLookup (TrueType)") << path;
    }
    for (const std::string path :
         {"C:\\WINDOWS\\Fonts\\VORLALOOKUPSYS.TTF", "C:/Windows/Fonts/x/../vorlalookupsys.ttf"}) {
        EXPECT_EQ(getFontRegStringValueByPath(HKEY_LOCAL_MACHINE, path), "VorlaLookupSys (TrueType)") << path;
    }
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, folder + "\\other.ttf"), "");
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_LOCAL_MACHINE, folder + "\\VorlaLookup.ttf"), "");
    EXPECT_TRUE(log.at(el::Level::Error).empty());

    deleteFontRegValue(HKEY_CURRENT_USER, "VorlaLookup (TrueType)");
    deleteFontRegValue(HKEY_CURRENT_USER, "  VorlaLookup binary");
    deleteFontRegValue(HKEY_CURRENT_USER, "  VorlaLookup expand");
    deleteFontRegValue(HKEY_LOCAL_MACHINE, "VorlaLookupSys (TrueType)");
}

namespace {

// The lookup's rule spelled out in full: every value's data made canonical, in index order.
std::string lookupInFull(HKEY root, const std::string &path) {
    winreg::KeyHandle key;
    if (key.open(root, kFontsKey) != ERROR_SUCCESS) return {};
    const bool system = isSystemFontPath(path);
    const std::string lowered = toLower(path);
    const fs::path target = toWidePath(weaklyCanonicalText(lowered));
    for (const winreg::ValueEntry &entry : key.listValues()) {
        const std::string data = toLower(key.readString(entry.name));
        if (target == toWidePath(weaklyCanonicalText(data))) return entry.name;
        if (system && fileNameOf(data) == fileNameOf(lowered)) return entry.name;
    }
    return {};
}

std::wstring shortNameOf(const std::string &path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(vorla::utf8ToWide(path).c_str(), buffer, MAX_PATH);
    return std::wstring(buffer, n);
}

}  // namespace

// The lookup compares last path elements first and makes canonical only the values that
// pass; its answer must stay the one the full comparison gives, spelling by spelling.
TEST(FontEntries, LookupAgreesWithTheFullCanonicalComparison) {
    const std::string folder = scratchFolder("lookup-table");
    const std::string font = folder + "\\VorlaTableFont.ttf";  // exists
    writeFile(font, "x");
    const std::string missing = folder + "\\VorlaTableMissing.ttf";
    const std::string shortName = vorla::wideToUtf8(shortNameOf(font));
    ASSERT_FALSE(shortName.empty());
    const std::string cwd = vorla::wideToUtf8(fs::current_path().wstring());
    SetCurrentDirectoryW(vorla::utf8ToWide(folder).c_str());

    struct Case {
        HKEY root;
        std::string data, path;
        bool found;
    };
    const std::string sys = "C:\\Windows\\Fonts\\VorlaTableSys.ttf";
    const std::vector<Case> cases = {
        {HKEY_CURRENT_USER, font, font, true},
        {HKEY_CURRENT_USER, toUpper(font), toLower(font), true},                     // letter case
        {HKEY_CURRENT_USER, folder + "\\a\\..\\.\\VorlaTableFont.ttf", font, true},  // . and ..
        {HKEY_CURRENT_USER, font, folder + "\\a\\b\\..\\..\\VorlaTableFont.ttf", true},
        {HKEY_CURRENT_USER, slashes(font), font, true},  // forward slashes
        // Not found by the full comparison either: a relative path (the working folder joins it
        // in its own letter case, the lower-cased path does not equal that), trailing dots and spaces.
        {HKEY_CURRENT_USER, "VorlaTableFont.ttf", font, false},
        {HKEY_CURRENT_USER, "C:VorlaTableFont.ttf", font, false},
        {HKEY_CURRENT_USER, ".\\x\\..\\VorlaTableFont.ttf", font, false},
        {HKEY_CURRENT_USER, font + ".", font, false},
        {HKEY_CURRENT_USER, font + " ", font, false},
        {HKEY_CURRENT_USER, font, font + ". .", false},
        {HKEY_CURRENT_USER, toUpper(missing), missing, true},  // a missing file
        {HKEY_CURRENT_USER, folder + "\\nowhere\\..\\VorlaTableMissing.ttf", missing, true},
        {HKEY_CURRENT_USER, folder + "\\VorlaTableFont.ttf\\..\\VorlaTableFont.ttf", font, true},
        {HKEY_CURRENT_USER, folder + "\\other.ttf", font, false},
        {HKEY_CURRENT_USER, folder + "\\sub\\VorlaTableFont.ttf", font, false},  // same name elsewhere
        // Last elements that canonicalisation replaces: compared in full, and found.
        {HKEY_CURRENT_USER, folder + "\\VorlaTableFont.ttf\\.", font, true},
        {HKEY_CURRENT_USER, folder + "\\VorlaTableFont.ttf\\", font, true},
        {HKEY_CURRENT_USER, font, folder + "\\VorlaTableFont.ttf\\", true},
        {HKEY_CURRENT_USER, folder + "\\VorlaTableFont.ttf::$DATA", font, false},  // a stream name
        {HKEY_CURRENT_USER, shortName, font, false},                               // an 8.3 name is not expanded
        {HKEY_CURRENT_USER, font, shortName, false},
        {HKEY_CURRENT_USER, "VorlaTableFont.ttf", folder + "\\sub\\VorlaTableFont.ttf", false},
        {HKEY_LOCAL_MACHINE, "VorlaTableSys.ttf", toUpper(sys), true},  // bare all-users file name
        {HKEY_LOCAL_MACHINE, "D:\\x\\VorlaTableSys.ttf", sys, true},    // any folder, same name
        {HKEY_LOCAL_MACHINE, "c:/windows/fonts/vorlatablesys.ttf", sys, true},
        {HKEY_LOCAL_MACHINE, "VorlaTableSys.ttf.", sys, false},  // not resolved against the fonts folder
        {HKEY_LOCAL_MACHINE, "VorlaTableOther.ttf", sys, false},
    };
    LogCapture log;
    for (const Case &c : cases) {
        const std::string name = "VorlaTable Case (TrueType)";
        setRawFontValue(c.root, name, REG_SZ, c.data);
        const std::string full = lookupInFull(c.root, c.path);
        EXPECT_EQ(getFontRegStringValueByPath(c.root, c.path), full) << c.data << " | " << c.path;
        EXPECT_EQ(full, c.found ? name : "") << c.data << " | " << c.path;
        deleteRawFontValue(c.root, name);
        EXPECT_EQ(getFontRegStringValueByPath(c.root, c.path), "") << c.data << " | " << c.path;
    }
    EXPECT_TRUE(log.at(el::Level::Error).empty());
    SetCurrentDirectoryW(vorla::utf8ToWide(cwd).c_str());
}

// Values written, changed and deleted by anyone between two lookups are seen by the next one.
TEST(FontEntries, LookupSeesEveryChangeOfTheKey) {
    const std::string folder = scratchFolder("lookup-changes");
    const std::string a = folder + "\\VorlaChangeA.ttf", b = folder + "\\VorlaChangeB.ttf";
    const std::string name = "VorlaChange (TrueType)";
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, a), "");
    setRawFontValue(HKEY_CURRENT_USER, name, REG_SZ, a);  // behind the core's back
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, a), name);
    setRawFontValue(HKEY_CURRENT_USER, name, REG_SZ, b);
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, a), "");
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, b), name);
    ASSERT_TRUE(setFontRegValueByFamilyAndPath(HKEY_CURRENT_USER, name, a));  // through the core
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, b), "");
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, a), name);
    deleteRawFontValue(HKEY_CURRENT_USER, name);
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, a), "");
    ASSERT_TRUE(setFontRegValueByFamilyAndPath(HKEY_CURRENT_USER, name, b));
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, b), name);
    ASSERT_TRUE(deleteFontRegValue(HKEY_CURRENT_USER, name));
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, b), "");
}

TEST(FontEntries, BareFileNameMatchesAllUsersFontsOnly) {
    ASSERT_TRUE(setFontRegValueByFamilyAndPath(HKEY_LOCAL_MACHINE, "VorlaBareSys", "VorlaBareSys.ttf"));
    ASSERT_TRUE(setFontRegValueByFamilyAndPath(HKEY_CURRENT_USER, "VorlaBareUser", "vorlabareuser.ttf"));
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_LOCAL_MACHINE, "C:\\WINDOWS\\Fonts\\VORLABARESYS.TTF"),
              "VorlaBareSys (TrueType)");
    EXPECT_EQ(getFontRegStringValueByPath(HKEY_CURRENT_USER, scratchFolder("bare") + "\\vorlabareuser.ttf"), "");
    deleteFontRegValue(HKEY_LOCAL_MACHINE, "VorlaBareSys (TrueType)");
    deleteFontRegValue(HKEY_CURRENT_USER, "VorlaBareUser (TrueType)");
}

TEST(FontEntries, BlankNamesAreNeverDeleted) {
    for (const std::string name : {"", " ", " \t\r\n"}) {
        setRawFontValue(HKEY_CURRENT_USER, name, REG_SZ, "C:\\blank.ttf");
        EXPECT_FALSE(deleteFontRegValue(HKEY_CURRENT_USER, name)) << "[" << name << "]";
        EXPECT_TRUE(readRawFontValue(HKEY_CURRENT_USER, name).exists) << "[" << name << "]";
        deleteRawFontValue(HKEY_CURRENT_USER, name);
    }
    EXPECT_FALSE(deleteFontRegValue(HKEY_CURRENT_USER, "VorlaNever Written (TrueType)"));
}

// A failure raised inside the lookup or the write is logged once with its text and
// reported as "not found" or false. The lookup's failure here comes from the registry
// layer (a key that is not open); a write fails inside only on a text of 2 GiB.
TEST(FontEntries, FailuresInsideTheLookupAndTheWriteAreLogged) {
    struct Case {
        const char *what;
        std::function<bool()> call;  // true when the result says "failed"
        std::string line;
        std::vector<std::string> debug;  // the platform's code, when the failure carries one
    };
    const std::vector<Case> cases = {
        {"lookup in a key that is not open",
         [] { return findFontEntry(HKEY_CURRENT_CONFIG, winreg::KeyHandle(), "C:\\Fonts\\vorla.ttf").empty(); },
         "[注册表]\t[注册表获取信息失败]",
         {"[平台调用]\t[RegQueryInfoKeyW]\t(error 6, 0x00000006)"}},
        {"write of a 2 GiB path",
         [] {
             const winreg::KeyHandle key = openFontsKey(HKEY_CURRENT_USER);
             std::string huge;
             try {
                 huge.assign(vorla::kMaxTextSize, 'a');
             } catch (const std::bad_alloc &) {
                 return false;  // no memory for the case: it fails visibly below
             }
             return !writeFontEntry(HKEY_CURRENT_USER, key, "VorlaHuge (TrueType)", huge);
         },
         "[注册表]\t[设置注册表值] [失败]",
         {}},
    };
    for (const Case &c : cases) {
        LogCapture log;
        EXPECT_TRUE(c.call()) << c.what;
        const std::vector<std::string> errors = log.at(el::Level::Error);
        ASSERT_EQ(errors.size(), 1u) << c.what;
        EXPECT_EQ(errors[0].rfind(c.line, 0), 0u) << c.what << ": " << errors[0];
        EXPECT_GT(errors[0].size(), c.line.size()) << c.what << ": the failure's own text follows";
        EXPECT_EQ(log.at(el::Level::Debug), c.debug) << c.what;
    }
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "VorlaHuge (TrueType)").exists);
}

TEST(Folders, PerUserAndAllUsers) {
    const std::string local = localFontsFolder();
    EXPECT_EQ(local, testsupport::env("LOCALAPPDATA") + "\\Microsoft\\Windows\\Fonts\\");
    EXPECT_EQ(toLower(systemFontsFolder()), "c:\\windows\\fonts\\");  // the known Fonts folder
    const std::vector<std::pair<std::string, bool>> cases = {
        {"C:\\Windows\\Fonts\\a.ttf", true},
        {"C:/Windows/Fonts/a.ttf", true},
        {"c:\\WINDOWS\\fonts\\sub\\..\\a.ttf", true},
        {"C:\\Windows\\System32\\..\\Fonts\\a.ttf", true},
        {"D:\\Windows\\Fonts\\a.ttf", false},
        {local + "a.ttf", false},
        {"C:\\Windows\\a.ttf", false},
    };
    for (const auto &c : cases) EXPECT_EQ(isSystemFontPath(c.first), c.second) << c.first;
}

TEST(Files, ExistDeleteAndCopy) {
    const std::string folder = scratchFolder("files");
    const std::string file = folder + "\\数据 file.bin";
    writeFile(file, "payload");
    const std::string sub = folder + "\\sub";
    fs::create_directories(toWidePath(sub));

    EXPECT_TRUE(fileExists(file));
    EXPECT_TRUE(fileExists(sub));
    EXPECT_FALSE(fileExists(folder + "\\missing.bin"));
    EXPECT_FALSE(fileExists(folder + "\\missing\\deeper\\x.bin"));
    EXPECT_FALSE(fileExists(""));

    // Copy: overwrites an existing target; a missing source or target folder creates nothing.
    const std::string copy = folder + "\\copy.bin";
    writeFile(copy, "old contents that are longer");
    EXPECT_TRUE(copyFileOverwrite(file, copy));
    EXPECT_EQ(readFile(copy), "payload");
    EXPECT_FALSE(copyFileOverwrite(folder + "\\missing.bin", folder + "\\never.bin"));
    EXPECT_FALSE(fileExists(folder + "\\never.bin"));
    EXPECT_FALSE(copyFileOverwrite(file, folder + "\\no\\such\\dir\\x.bin"));
    EXPECT_FALSE(copyFileOverwrite(sub, folder + "\\dircopy"));
    EXPECT_FALSE(fileExists(folder + "\\dircopy"));

    // Delete: regular files only.
    EXPECT_FALSE(deleteRegularFile(sub));
    EXPECT_TRUE(fileExists(sub));
    EXPECT_FALSE(deleteRegularFile(folder + "\\missing.bin"));
    EXPECT_TRUE(deleteRegularFile(copy));
    EXPECT_FALSE(fileExists(copy));
}

TEST(FontResources, AddAndRemoveByPath) {
    const std::string folder = scratchFolder("resources");
    const std::string font = folder + "\\资源 VorlaResource.ttf";
    writeFile(font, renamedDejaVu("VorlaResource"));
    const std::string text = folder + "\\notafont.ttf";
    writeFile(text, "definitely not a font");

    EXPECT_FALSE(addFontResource(text));
    EXPECT_FALSE(addFontResource(folder + "\\missing.ttf"));
    EXPECT_FALSE(removeFontResource(font));  // never added
    ASSERT_TRUE(addFontResource(font));      // a non-ASCII path loads
    EXPECT_TRUE(removeFontResource(font));
    EXPECT_FALSE(removeFontResource(font));
    broadcastFontChange();  // posted, never waits
}
