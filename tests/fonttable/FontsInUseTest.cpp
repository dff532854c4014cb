// The rules of the session's font table that Wine 8 does not enforce, shown with the table's
// stand-in (FontTableStandIn.h) and an application holding a file (FileHolder.exe): a loaded font
// file cannot be opened for deletion, loads count, and a file in use is finished later.
// In process through the installation core, as the library and Marlet run it; a "run" here is
// one install or uninstall call.
#include "common/SafeFile.h"
#include "common/Status.h"
#include "fonttable/FontTableStandIn.h"
#include "interactive/win/FontHealth.h"
#include "interactive/win/FontUtil.h"
#include "support/CoreFixtures.h"
#include "support/FileHolder.h"
#include "support/InstalledFonts.h"
#include "support/LogCapture.h"
#include "support/MiniFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace fs = std::filesystem;
using namespace corefix;
using installed::entryOf;
using installed::runTag;

namespace {

constexpr const wchar_t *kSessionManager = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t *kPendingValue = L"PendingFileRenameOperations";

bool samePlace(const std::string &a, const std::string &b) { return safefile::samePath(utf8ToWide(a), utf8ToWide(b)); }

// Two versions of one font (same names, other bytes), each in a folder of its own under the same
// file name, as an update brings them.
struct TwoVersions {
    std::string family, valueName, base, first, second;
    TwoVersions(const std::string &what) {
        family = "Vorla InUse " + what + " " + runTag();
        valueName = family + " (TrueType)";
        base = "inuse-" + what + "-" + runTag() + ".ttf";
        const std::string folder = scratchFolder("fonttable-" + what);
        fs::create_directories(testsupport::pathOf(folder + "\\1"));
        fs::create_directories(testsupport::pathOf(folder + "\\2"));
        first = folder + "\\1\\" + base;
        second = folder + "\\2\\" + base;
        const std::string bytes = sfnt::miniFont({family, "", "", ""});
        writeFile(first, bytes);
        writeFile(second, bytes + std::string(4, '\0'));
    }
};

// Journal records (of any kind) whose file is path, read from the key as it is.
int recordsNaming(HKEY root, const std::string &path) {
    HKEY key = nullptr;
    const wchar_t *name = root == HKEY_CURRENT_USER ? L"Software\\Vorla\\Journal" : L"SOFTWARE\\Vorla\\Journal";
    if (RegOpenKeyExW(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    int count = 0;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256];
        DWORD valueLength = 256, type = 0;
        std::wstring data(32768, L'\0');
        DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        if (RegEnumValueW(key, i, value, &valueLength, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &bytes) !=
            ERROR_SUCCESS)
            break;
        data.resize(wcsnlen(data.c_str(), bytes / sizeof(wchar_t)));
        if (type == REG_SZ && safefile::samePath(data, utf8ToWide(path))) ++count;
    }
    RegCloseKey(key);
    return count;
}

// PendingFileRenameOperations as stored: pairs of texts, NUL-separated (REG_MULTI_SZ); "" when absent.
std::wstring pendingOperations(bool *present = nullptr) {
    DWORD bytes = 0;
    const LONG sized = RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, RRF_RT_REG_MULTI_SZ, nullptr,
                                    nullptr, &bytes);
    if (present) *present = sized == ERROR_SUCCESS;
    if (sized != ERROR_SUCCESS) return {};
    std::wstring data(bytes / sizeof(wchar_t), L'\0');
    RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &bytes);
    data.resize(bytes / sizeof(wchar_t));
    return data;
}

// How many deletions at reboot name path ("\??\<path>" followed by an empty target).
int rebootDeletionsOf(const std::string &path) {
    const std::wstring data = pendingOperations();
    std::vector<std::wstring> texts;
    for (size_t start = 0; start < data.size();) {
        const size_t end = data.find(L'\0', start);
        texts.push_back(data.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    int count = 0;
    for (size_t i = 0; i + 1 < texts.size(); i += 2) {
        std::wstring source = texts[i];
        if (source.rfind(L"\\??\\", 0) == 0) source.erase(0, 4);
        if (texts[i + 1].empty() && !source.empty() && safefile::samePath(source, utf8ToWide(path))) ++count;
    }
    return count;
}

// PendingFileRenameOperations goes back to what it was when the object was made.
class PendingOperationsKept {
public:
    PendingOperationsKept() : data_(pendingOperations(&present_)) {}
    ~PendingOperationsKept() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        if (present_) {
            RegSetValueExW(key, kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(data_.data()),
                           static_cast<DWORD>(data_.size() * sizeof(wchar_t)));
        } else {
            RegDeleteValueW(key, kPendingValue);
        }
        RegCloseKey(key);
    }

private:
    bool present_ = false;
    std::wstring data_;
};

// Another run of the installation core: the install of a font of its own, undone at once.
void anotherRun() {
    static int n = 0;
    const std::string family = "Vorla InUse Other " + std::to_string(n) + " " + runTag();
    const std::string source = scratchFolder("fonttable-other-" + std::to_string(n++)) + "\\other.ttf";
    writeFile(source, sfnt::miniFont({family, "", "", ""}));
    ASSERT_EQ(Status::kDone, installFontEntry(family, source));
    const std::string copy = entryOf(family + " (TrueType)");
    while (removeFontResource(copy)) {
    }
    std::error_code ec;
    fs::remove(testsupport::pathOf(copy), ec);
    deleteRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)");
}

// Every load of the files goes, then the files and the entry of root.
void removeAll(HKEY root, const std::set<std::string> &files, const std::string &valueName) {
    for (const std::string &file : files) {
        while (removeFontResource(file)) {
        }
        std::error_code ec;
        fs::remove(testsupport::pathOf(file), ec);
    }
    deleteRawFontValue(root, valueName);
}

}  // namespace

// Every step that deletes a font file removes its resource first, every load of it, and deletes
// it after; a copy that is loaded already is not loaded again. Each case runs its steps on one
// font, then counts the loads left of every copy it saw, the files left on the chain and the entry.
TEST(FontTable, AFontFileIsUnloadedWhollyBeforeItIsDeleted) {
    enum class Step { Install, InstallNewVersion, LoadElsewhere, Uninstall };
    struct Case {
        const char *what;
        std::vector<Step> steps;
        int loadsLeft, filesLeft;
        bool entryLeft;
    };
    using S = Step;
    const std::vector<Case> cases = {
        {"update", {S::Install, S::InstallNewVersion}, 1, 1, true},
        {"again", {S::Install, S::Install}, 1, 1, true},
        {"again-uninstalled", {S::Install, S::Install, S::Uninstall}, 0, 0, false},
        {"loaded-elsewhere", {S::Install, S::LoadElsewhere, S::LoadElsewhere, S::Uninstall}, 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const TwoVersions font(c.what);
        std::set<std::string> copies;
        for (Step step : c.steps) {
            const std::string copy = entryOf(font.valueName);
            switch (step) {
            case S::Install:
            case S::InstallNewVersion:
                EXPECT_EQ(Status::kDone, installFontEntry(font.family, step == S::Install ? font.first : font.second));
                copies.insert(entryOf(font.valueName));
                break;
            case S::LoadElsewhere:
                EXPECT_TRUE(addFontResource(copy));
                break;
            case S::Uninstall:
                EXPECT_EQ(Status::kDone, uninstallFontEntry(font.family, "", copy));
                break;
            }
        }
        int loads = 0;
        for (const std::string &copy : copies) loads += fonttable::loads(copy);
        EXPECT_EQ(c.loadsLeft, loads);
        EXPECT_EQ(c.filesLeft, static_cast<int>(installed::chainFiles(font.base).size()));
        EXPECT_EQ(c.entryLeft, !entryOf(font.valueName).empty());
        removeAll(HKEY_CURRENT_USER, copies, font.valueName);
    }
}

// A per-user file that an application holds: the update or the uninstall unloads it at once and
// succeeds, one INFO line says that the file goes later, and the first run after the application
// let go deletes it (not one before). No deletion at the boot: the user can change what a name of
// the per-user folder is.
TEST(FontTable, AFileInUseIsUnloadedAtOnceAndDeletedByTheFirstRunAfterItIsFreed) {
    struct Case {
        const char *what;
        bool update;
        const char *line;  // the INFO line, before the path
    };
    const std::vector<Case> cases = {
        {"held-update", true, "[当前用户字体]\t[字体安装]\t[旧版本文件被占用]\t[稍后删除]\t("},
        {"held-uninstall", false, "[当前用户字体]\t[字体卸载]\t[文件被占用]\t[稍后删除]\t("},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const TwoVersions font(c.what);
        ASSERT_EQ(Status::kDone, installFontEntry(font.family, font.first));
        const std::string copy = entryOf(font.valueName);
        std::set<std::string> copies = {copy};
        testsupport::FileHolder holder(copy);
        ASSERT_TRUE(holder.holding());
        {
            const LogCapture log;
            if (c.update) {
                EXPECT_EQ(Status::kDone, installFontEntry(font.family, font.second));
                EXPECT_FALSE(samePlace(entryOf(font.valueName), copy));
                copies.insert(entryOf(font.valueName));
            } else {
                EXPECT_EQ(Status::kDone, uninstallFontEntry(font.family, "", copy));
                EXPECT_EQ("", entryOf(font.valueName));
            }
            EXPECT_EQ(0, fonttable::loads(copy)) << "the held file is still loaded";
            EXPECT_TRUE(exists(copy));
            const std::vector<std::string> infos = log.at(el::Level::Info);
            EXPECT_EQ(1, std::count(infos.begin(), infos.end(), c.line + copy + ")"));
            EXPECT_EQ(std::vector<std::string>{}, log.at(el::Level::Warning));
        }
        EXPECT_EQ(1, recordsNaming(HKEY_CURRENT_USER, copy));
        EXPECT_EQ(0, rebootDeletionsOf(copy)) << "a per-user file is never deleted by name at the boot";

        anotherRun();
        EXPECT_TRUE(exists(copy)) << "deleted while held";
        EXPECT_EQ(1, recordsNaming(HKEY_CURRENT_USER, copy));

        holder.release();
        anotherRun();
        EXPECT_FALSE(exists(copy)) << "the first run after the holder let go kept the file";
        EXPECT_EQ(0, recordsNaming(HKEY_CURRENT_USER, copy));
        removeAll(HKEY_CURRENT_USER, copies, font.valueName);
    }
}

// An all-users file in use: the uninstall also has it deleted at the next boot, once however
// often later runs find it held; until then no install takes its name, neither to reuse the
// file (it would vanish at the boot) nor for a new copy once the file is gone.
TEST(FontTable, AnAllUsersFileInUseGoesAtRebootAndItsNameStaysUntaken) {
    const PendingOperationsKept pending;
    const TwoVersions font("all-users");
    ASSERT_EQ(Status::kDone, persistentFontInstall(HKEY_LOCAL_MACHINE, font.family, font.first));
    const std::string copy = readRawFontValue(HKEY_LOCAL_MACHINE, font.valueName).text;
    ASSERT_TRUE(samePlace(copy, systemFontsFolder() + font.base)) << copy;
    std::set<std::string> copies = {copy};
    testsupport::FileHolder holder(copy);
    ASSERT_TRUE(holder.holding());

    EXPECT_EQ(Status::kDone, uninstallFontEntry(font.family, "", copy));
    EXPECT_FALSE(readRawFontValue(HKEY_LOCAL_MACHINE, font.valueName).exists);
    EXPECT_EQ(0, fonttable::loads(copy));
    EXPECT_TRUE(exists(copy));
    EXPECT_EQ(1, rebootDeletionsOf(copy));
    EXPECT_EQ(1, recordsNaming(HKEY_LOCAL_MACHINE, copy));

    // The same font again while the file is held: a copy of its own, not the file that goes at reboot.
    ASSERT_EQ(Status::kDone, persistentFontInstall(HKEY_LOCAL_MACHINE, font.family, font.first));
    const std::string again = readRawFontValue(HKEY_LOCAL_MACHINE, font.valueName).text;
    copies.insert(again);
    EXPECT_FALSE(samePlace(again, copy));
    anotherRun();
    EXPECT_EQ(1, rebootDeletionsOf(copy)) << "a later run registered the deletion again";

    holder.release();
    anotherRun();
    EXPECT_FALSE(exists(copy));
    EXPECT_EQ(0, recordsNaming(HKEY_LOCAL_MACHINE, copy));

    // The name is free on disk but still listed for the boot: a new version's copy goes elsewhere.
    ASSERT_EQ(Status::kDone, persistentFontInstall(HKEY_LOCAL_MACHINE, font.family, font.second));
    const std::string newer = readRawFontValue(HKEY_LOCAL_MACHINE, font.valueName).text;
    copies.insert(newer);
    EXPECT_FALSE(samePlace(newer, copy));
    EXPECT_FALSE(exists(copy));
    removeAll(HKEY_LOCAL_MACHINE, copies, font.valueName);
}

// The repair of an unnamed copy deletes a loaded file too: every load of it goes first, and the
// file is opened for deletion only after (a loaded file cannot be, on Windows).
TEST(FontTable, ARepairedUnnamedCopyIsUnloadedWhollyBeforeItIsDeleted) {
    const std::string folder = testsupport::textOf(fs::path(safefile::userFontsFolder(safefile::processElevated())));
    fs::create_directories(testsupport::pathOf(folder));
    const std::string copy = folder + "\\unnamed-loaded-" + runTag() + ".ttf";
    writeFile(copy, sfnt::miniFont({"Vorla Unnamed Loaded " + runTag(), "", "", ""}));
    ASSERT_TRUE(addFontResource(copy));
    ASSERT_TRUE(addFontResource(copy));

    HealthFinding finding;
    finding.kind = HealthKind::UnnamedCopy;
    finding.path = copy;
    EXPECT_EQ(Status::kDone, repairFinding(finding, HealthScope::CurrentUser));
    EXPECT_EQ(0, fonttable::loads(copy));
    EXPECT_FALSE(exists(copy));
}
