// Attacks on the elevated installer, as another program of the same user would make them:
// font entries, lists and result paths that lead out of the fonts folders, and links on the
// way (made from the Linux side by tests/harness/prefix.d/30-links.sh: Wine creates none).
// Every process under Wine counts as elevated, so the elevated rules are what runs here,
// through the library's core in this process and through Marlet.exe.
#include "common/NamedFile.h"
#include "common/SafeFile.h"
#include "common/Status.h"
#include "interactive/win/FontUtil.h"
#include "interactive/win/Journal.h"
#include "support/AttackFixtures.h"
#include "support/ChildProcess.h"
#include "support/CoreFixtures.h"
#include "support/LogCapture.h"
#include "support/MiniFont.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace fs = std::filesystem;
using namespace attackfix;
using namespace corefix;
using testsupport::TempDir;

namespace {

// Sets a string value under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE for its lifetime, then puts
// back what was there.
class ValueForAWhile {
public:
    ValueForAWhile(HKEY root, const wchar_t *key, const wchar_t *name, DWORD type, const std::string &data)
        : root_(root), key_(key), name_(name) {
        wchar_t old[MAX_PATH] = {};
        DWORD size = sizeof old;
        had_ = RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type_, old, &size) == ERROR_SUCCESS;
        old_ = old;
        set(type, utf8ToWide(data));
    }
    ~ValueForAWhile() {
        if (had_) {
            set(type_, old_);
        } else {
            RegDeleteKeyValueW(root_, key_, name_);
        }
    }
    ValueForAWhile(const ValueForAWhile &) = delete;
    ValueForAWhile &operator=(const ValueForAWhile &) = delete;

private:
    void set(DWORD type, const std::wstring &data) const {
        RegSetKeyValueW(root_, key_, name_, type, data.c_str(),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    HKEY root_;
    const wchar_t *key_;
    const wchar_t *name_;
    bool had_ = false;
    DWORD type_ = REG_SZ;
    std::wstring old_;
};

const wchar_t *const kShellFolderKeys[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};

// For its lifetime the user's shell settings name "Local AppData" at localAppData.
class RedirectedLocalAppData {
public:
    explicit RedirectedLocalAppData(const std::string &localAppData) {
        for (const wchar_t *key : kShellFolderKeys)
            values_.emplace_back(std::make_unique<ValueForAWhile>(HKEY_CURRENT_USER, key, L"Local AppData",
                                                                  REG_EXPAND_SZ, localAppData));
    }

private:
    std::vector<std::unique_ptr<ValueForAWhile>> values_;
};

// For its lifetime the user's profile is C:\VorlaProfiles\<user>, prepared by the prefix hook with
// a per-user fonts folder that is a link to C:\VorlaVictim\redirected: the machine's profiles
// folder (which only an administrator can change; Wine's profile lookup reads it) and the user's
// shell settings both lead there, as they would for a profile whose folder the user replaced by a
// junction.
class LinkedUserFonts {
public:
    LinkedUserFonts()
        : profiles_(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                    L"ProfilesDirectory", REG_EXPAND_SZ, "C:\\VorlaProfiles"),
          shell_(profile() + "\\AppData\\Local") {}

private:
    static std::string profile() {
        wchar_t user[256] = {};
        DWORD size = 256;
        GetUserNameW(user, &size);
        return "C:\\VorlaProfiles\\" + wideToUtf8(user);
    }
    ValueForAWhile profiles_;
    RedirectedLocalAppData shell_;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Install and uninstall: through the core in this process and through Marlet.exe.

TEST(Attacks, NothingOutsideTheFontsFoldersIsCopiedOrDeleted) {
    enum class Where {
        Victim,         // C:\VorlaVictim\<n>.ttf, named by a per-user entry the user wrote
        UserFontsText,  // <per-user fonts folder>\<n>.ttf while that folder is a link
        Source          // a font to install, in a scratch folder
    };
    struct Attack {
        const char *what;
        bool install;
        Where where;
        bool linkedUserFonts;
        bool redirectedLocalAppData;
        int status;
        const char *logMark;  // the one log line the run must write ("" for none)
    };
    const std::vector<Attack> attacks = {
        {"uninstall of a file outside the fonts folders: unregistered, file kept", false, Where::Victim, false, false,
         Status::kDone, "[文件不在字体目录]"},
        {"uninstall through a per-user fonts folder that is a link: unregistered, file kept", false,
         Where::UserFontsText, true, false, Status::kDone, "[文件不在字体目录]"},
        {"install while the user's Local AppData leads through a link: the real folder gets the copy", true,
         Where::Source, false, true, Status::kDone, ""},
        {"install into a per-user fonts folder that is a link: refused, nothing written", true, Where::Source, true,
         false, Status::kCopy, "[字体目录被重定向]"},
    };
    ASSERT_TRUE(fs::is_directory(utf8ToWide(kLinks + "\\victim"))) << "the prefix hook 30-links.sh did not run";

    for (const Attack &a : attacks) {
        for (const bool throughMarlet : {false, true}) {
            SCOPED_TRACE(std::string(a.what) + (throughMarlet ? " (Marlet)" : " (core)"));
            TempDir work("attack");
            const std::string family = uniqueFamily(a.install ? "I" : "U");
            const std::string fileName = family + ".ttf";
            const std::string valueName = family + " (TrueType)";
            const std::string bytes = sfnt::miniFont({family, "", "", ""});
            const std::string realUserFonts = userFonts();

            std::optional<LinkedUserFonts> linked;
            if (a.linkedUserFonts) linked.emplace();
            std::optional<RedirectedLocalAppData> redirected;
            if (a.redirectedLocalAppData) redirected.emplace(kLinks + "\\victim\\appdata");

            std::string path;
            switch (a.where) {
            case Where::Victim:
                path = kVictim + "\\" + fileName;
                break;
            case Where::UserFontsText:
                path = userFonts() + "\\" + fileName;  // the text lies in the folder; the file does not
                break;
            case Where::Source:
                path = wideToUtf8((work.path() / utf8ToWide(fileName)).wstring());
                break;
            }
            writeFile(path, bytes);
            if (!a.install) {
                ASSERT_TRUE(addFontResource(path));
                setRawFontValue(HKEY_CURRENT_USER, valueName, REG_SZ, path);
            }
            const auto before = victimFiles();

            int status = -1;
            std::vector<std::string> log;
            if (throughMarlet) {
                const std::string list = "[{\\'family\\':\\'" + family + "\\',\\'path\\':\\'" + jsonPath(path) +
                                         "\\'}]";
                const std::string result = wideToUtf8((work.path() / L"result.json").wstring());
                const auto run = runMarlet({a.install ? "-i" : "-u", list, "-o", result}, work);
                ASSERT_TRUE(run.finished);
                EXPECT_EQ(run.exitCode, 0u);
                const std::string json = readFile(result);
                const size_t at = json.find("\"code\":\"");
                ASSERT_NE(at, std::string::npos) << json;
                status = std::stoi(json.substr(at + 8));
                log = testsupport::lines(run.out);
            } else {
                LogCapture capture;
                status = a.install ? installFontEntry(family, path) : uninstallFontEntry(family, "", path);
                log = capture.messages();
            }

            EXPECT_EQ(status, a.status);
            EXPECT_EQ(victimFiles(), before) << "a file outside the fonts folders was written or deleted";
            if (*a.logMark) {
                EXPECT_EQ(linesHolding(log, a.logMark), 1u);
            }
            const RawValue entry = readRawFontValue(HKEY_CURRENT_USER, valueName);
            if (!a.install) {
                EXPECT_FALSE(entry.exists) << "the font is uninstalled";
                EXPECT_EQ(readFile(path), bytes) << "the file is kept";
            } else if (a.status == Status::kDone) {
                ASSERT_TRUE(entry.exists);
                EXPECT_EQ(entry.text, realUserFonts + "\\" + fileName);
                EXPECT_EQ(readFile(entry.text), bytes);
            } else {
                EXPECT_FALSE(entry.exists);
            }

            // Clean up while the links are still in place, then without them.
            removeFontResource(path);
            if (entry.exists) removeFontResource(entry.text);
            deleteRawFontValue(HKEY_CURRENT_USER, valueName);
            std::error_code ignored;
            if (a.where != Where::Source) fs::remove(utf8ToWide(path), ignored);
            linked.reset();
            redirected.reset();
            if (entry.exists) fs::remove(utf8ToWide(entry.text), ignored);
            fs::remove_all(utf8ToWide(kVictim + "\\appdata"), ignored);
        }
    }
}

// An entry the user wrote under the name an install chooses, naming a pipe (a live one, whose
// reader would wait for ever) or the console: its file is never opened, it counts as another
// font's, and the install goes on at once under the next name.
TEST(Attacks, AnEntryNamingAPipeOrTheConsoleStallsNoInstall) {
    const std::wstring pipeName = L"\\\\.\\pipe\\vorla-entry-" + std::to_wstring(GetCurrentProcessId());
    const vorla::UniqueFileHandle pipe(
        CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 4, 0, 0, 0, nullptr));
    ASSERT_TRUE(pipe);
    TempDir work("attack-entry");
    struct Font {
        std::string family, entryData, path;
    };
    std::vector<Font> fonts = {{uniqueFamily("Pipe"), wideToUtf8(pipeName), ""},
                               {uniqueFamily("Console"), "CONIN$", ""}};
    std::string list = "[";
    for (Font &f : fonts) {
        f.path = wideToUtf8((work.path() / utf8ToWide(f.family + ".ttf")).wstring());
        writeFile(f.path, sfnt::miniFont({f.family, "", "", ""}));
        setRawFontValue(HKEY_CURRENT_USER, f.family + " (TrueType)", REG_SZ, f.entryData);
        list += std::string(list.size() > 1 ? "," : "") + "{\\'path\\':\\'" + jsonPath(f.path) + "\\'}";
    }
    const std::string result = wideToUtf8((work.path() / L"result.json").wstring());
    const auto run = testsupport::runProgram(marletExe(), {L"-i", utf8ToWide(list + "]"), L"-o", utf8ToWide(result)},
                                             work.path(), work.path(), 60000);
    EXPECT_TRUE(run.finished) << "the install waited on the entry's file";
    EXPECT_EQ(readFile(result), "[{\"data\":\"\",\"code\":\"0\"},{\"data\":\"\",\"code\":\"0\"}]\r\n");
    for (const Font &f : fonts) {
        EXPECT_EQ(readRawFontValue(HKEY_CURRENT_USER, f.family + " (TrueType)").text, f.entryData) << f.family;
        const RawValue installed = readRawFontValue(HKEY_CURRENT_USER, f.family + " Regular (TrueType)");
        EXPECT_TRUE(installed.exists) << f.family;
        removeFontResource(installed.text);
        std::error_code ignored;
        fs::remove(utf8ToWide(installed.text), ignored);
        deleteRawFontValue(HKEY_CURRENT_USER, f.family + " (TrueType)");
        deleteRawFontValue(HKEY_CURRENT_USER, f.family + " Regular (TrueType)");
    }
}

// Journal records the user forges (HKCU\Software\Vorla\Journal), of either kind, can only make a run
// delete, from the per-user fonts folder, a file that no entry names: not a file elsewhere, not one
// of the all-users folder, not a named font, and no pipe is opened. A live run's deletion record
// waits for its run; a record of a file in use is tried whatever run wrote it.
TEST(Attacks, ForgedJournalRecordsDeleteOnlyUnnamedPerUserFiles) {
    struct Record {
        const char *what;
        std::string path;
        bool liveRun;
        bool named;        // a per-user entry names the file
        bool deleted;      // the finishing deletes the file (a deletion record)
        bool recordStays;  // the record is still there afterwards (a deletion record)
    };
    fs::create_directories(utf8ToWide(userFonts()));
    for (const journal::Kind kind : {journal::Kind::Deletion, journal::Kind::InUse}) {
        const bool inUse = kind == journal::Kind::InUse;
        SCOPED_TRACE(inUse ? "in use" : "deletion");
        const std::string tag = uniqueFamily(inUse ? "JournalInUse" : "Journal");
        const std::vector<Record> records = {
            {"a file outside the fonts folders", kVictim + "\\" + tag + ".ttf", false, false, false, false},
            {"a file of the all-users fonts folder", systemFontsFolder() + tag + ".ttf", false, false, false, false},
            {"a per-user font an entry names", userFonts() + "\\" + tag + "-named.ttf", false, true, false, false},
            {"a pipe", "\\\\.\\pipe\\" + tag, false, false, false, false},
            {"a live run's unnamed per-user file", userFonts() + "\\" + tag + "-live.ttf", true, false, false, true},
            {"a dead run's unnamed per-user file", userFonts() + "\\" + tag + "-dead.ttf", false, false, true, false},
        };
        const std::wstring key = utf8ToWide(journal::keyOf(HKEY_CURRENT_USER));
        unsigned counter = 0;
        std::vector<std::string> names;
        for (const Record &r : records) {
            if (r.path.find("pipe") == std::string::npos) writeFile(r.path, sfnt::miniFont({tag, "", "", ""}));
            if (r.named) setRawFontValue(HKEY_CURRENT_USER, tag + " (TrueType)", REG_SZ, r.path);
            // A run that never lived (no process has the id 0xFFFFFFF0), or this one.
            const vorla::RunStamp run = r.liveRun ? vorla::thisRun() : vorla::RunStamp{0xFFFFFFF0u, 1};
            char name[80];
            std::snprintf(name, sizeof name, "%s%lu-%llx-%u", inUse ? "in-use-" : "",
                          static_cast<unsigned long>(run.process), static_cast<unsigned long long>(run.start),
                          900000 + counter++);
            names.push_back(name);
            const std::wstring data = utf8ToWide(r.path);
            ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), utf8ToWide(names.back()).c_str(), REG_SZ,
                                      data.c_str(), static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        }
        const auto before = victimFiles();

        // The other kind's finishing leaves these records alone.
        if (inUse) {
            journal::finishDeadRuns(HKEY_CURRENT_USER);
        } else {
            journal::retryFilesInUse(HKEY_CURRENT_USER);
        }
        const auto untouched = journal::records(HKEY_CURRENT_USER);
        for (const std::string &name : names) {
            EXPECT_TRUE(std::any_of(untouched.begin(), untouched.end(), [&](const journal::Record &l) {
                return l.name == name;
            })) << name;
        }
        EXPECT_EQ(inUse ? journal::retryFilesInUse(HKEY_CURRENT_USER) : journal::finishDeadRuns(HKEY_CURRENT_USER),
                  inUse ? 2 : 1);

        EXPECT_EQ(victimFiles(), before);
        for (size_t i = 0; i < records.size(); ++i) {
            const Record &r = records[i];
            SCOPED_TRACE(r.what);
            if (r.path.find("pipe") == std::string::npos) {
                EXPECT_EQ(exists(r.path), !(r.deleted || (inUse && r.liveRun)));
            }
            const auto listed = journal::records(HKEY_CURRENT_USER);
            const bool stays = std::any_of(listed.begin(), listed.end(),
                                           [&](const journal::Record &l) { return l.name == names[i]; });
            EXPECT_EQ(stays, r.recordStays && !inUse);
            journal::remove(HKEY_CURRENT_USER, names[i]);
            std::error_code ignored;
            fs::remove(utf8ToWide(r.path), ignored);
        }
        deleteRawFontValue(HKEY_CURRENT_USER, tag + " (TrueType)");
    }
}

// ---------------------------------------------------------------------------------------
// Marlet's file arguments: the result file ("-o") and the list file ("@").

TEST(Attacks, MarletsResultAndListFilesFollowNoLink) {
    struct Attack {
        const char *what;
        std::vector<std::string> args;  // after "-i": "<dir>" stands for the run's folder
        DWORD exitCode;
        const char *err;
        const char *resultIn;  // a result file expected under the run's folder ("" for none)
    };
    const std::string unwritable = "Unable to open file for writing.\r\n";
    const std::vector<Attack> attacks = {
        {"-o through a file link", {"[]", "-o", kLinks + "\\file-link.json"}, 2, unwritable.c_str(), ""},
        {"-o through a linked folder", {"[]", "-o", kLinks + "\\victim\\created.json"}, 2, unwritable.c_str(), ""},
        {"-o naming a second hard link", {"[]", "-o", kLinks + "\\hard-link.json"}, 2, unwritable.c_str(), ""},
        {"the list file through a linked folder",
         {"@" + kLinks + "\\victim\\list.json", "-o", "<dir>\\r.json"},
         0,
         "Unable to read the font list file C:\\VorlaLinks\\victim\\list.json\r\n",
         "r.json"},
        // Not attacks: what the bridge does must still work.
        {"-o naming an existing empty file (as the bridge makes it) by its folder's short name",
         {"[]", "-o", "<short>\\existing.json"},
         0,
         "",
         "existing.json"},
    };
    // A list that would install a real font, read through the link only.
    TempDir fonts("attack-list");
    const std::string family = uniqueFamily("List");
    const std::string source = wideToUtf8((fonts.path() / L"list-font.ttf").wstring());
    writeFile(source, sfnt::miniFont({family, "", "", ""}));
    writeFile(kVictim + "\\list.json", "[{\"path\":\"" + jsonPath(source) + "\"}]");

    for (const Attack &a : attacks) {
        SCOPED_TRACE(a.what);
        TempDir work("attack-io");
        const fs::path longFolder = work.path() / L"a rather long folder name";
        fs::create_directories(longFolder);
        writeFile(wideToUtf8((longFolder / L"existing.json").wstring()), "");
        wchar_t shortFolder[MAX_PATH] = {};
        ASSERT_NE(GetShortPathNameW(longFolder.c_str(), shortFolder, MAX_PATH), 0u);
        std::vector<std::string> args = {"-i"};
        for (std::string arg : a.args) {
            for (const auto &[mark, text] :
                 {std::pair<std::string, std::string>{"<dir>", testsupport::textOf(work.path())},
                  {"<short>", wideToUtf8(shortFolder)}}) {
                const size_t at = arg.find(mark);
                if (at != std::string::npos) arg.replace(at, mark.size(), text);
            }
            args.push_back(arg);
        }
        const auto before = victimFiles();
        const auto run = runMarlet(args, work);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, a.exitCode);
        EXPECT_EQ(run.err, a.err);
        EXPECT_EQ(victimFiles(), before) << "a file outside the run's folder was written or created";
        if (*a.resultIn) {
            const std::string name = a.resultIn;
            const std::string file = testsupport::textOf(name == "r.json" ? work / name
                                                                          : longFolder / L"existing.json");
            EXPECT_EQ(readFile(file), "[]\r\n");
        }
        EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)").exists);
    }
    std::error_code ignored;
    fs::remove(utf8ToWide(kVictim + "\\list.json"), ignored);
}

// ---------------------------------------------------------------------------------------
// The module's pure parts.

TEST(SafeFile, BaseNamesOfCopies) {
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"Font.ttf", L"Font.ttf"},
        {L"字体 样本.otf", L"字体 样本.otf"},
        {L"a.ttf:hidden", L"a.ttf"},  // an alternate stream
        {L"a.ttf::$DATA", L"a.ttf"},  // the default stream, spelled out
        {L"trail.ttf. . ", L"trail.ttf"},
        {L"CON.ttf", L"_CON.ttf"},  // device names, with or without an extension
        {L"nul", L"_nul"},
        {L"com7.otf", L"_com7.otf"},
        {L"COM10.ttf", L"COM10.ttf"},  // not a device
        {L"a<b>|?*.ttf", L"a_b____.ttf"},
        {L":stream", L"font"},
        {L"...", L"font"},
    };
    for (const auto &[name, expected] : cases) EXPECT_EQ(safefile::safeBaseName(name), expected) << wideToUtf8(name);
}

// A text that names a pipe, a console, a device or (where refused) a share is never opened; a disk
// file is, and one open serves its names and its bytes.
TEST(SafeFile, NamedFilesAreDiskFilesOnly) {
    using safefile::Network;
    const std::vector<std::tuple<std::wstring, Network, bool>> texts = {
        {L"C:\\fonts\\a.ttf", Network::Refused, true},
        {L"c:/fonts/a.ttf", Network::Refused, true},
        {L"\\\\?\\C:\\fonts\\a.ttf", Network::Refused, true},
        {L"\\\\server\\share\\a.ttf", Network::Allowed, true},
        {L"\\\\?\\UNC\\server\\share\\a.ttf", Network::Allowed, true},
        {L"\\\\server\\share\\a.ttf", Network::Refused, false},
        {L"//server/share/a.ttf", Network::Refused, false},
        {L"\\\\?\\UNC\\server\\share\\a.ttf", Network::Refused, false},
        {L"\\\\.\\pipe\\vorla", Network::Allowed, false},
        {L"//./pipe/vorla", Network::Allowed, false},
        {L"\\\\?\\pipe\\vorla", Network::Allowed, false},
        {L"\\\\.\\C:\\fonts\\a.ttf", Network::Allowed, false},
        {L"\\??\\C:\\fonts\\a.ttf", Network::Allowed, false},
        {L"CONIN$", Network::Allowed, false},
        {L"C:\\fonts\\CONIN$", Network::Allowed, false},
        {L"C:\\fonts\\con.ttf", Network::Allowed, false},
        {L"C:\\fonts\\NUL .ttf", Network::Allowed, false},
        {L"C:\\fonts\\com1", Network::Allowed, false},
        {L"C:\\fonts\\com10.ttf", Network::Allowed, true},
        {L"a.ttf", Network::Allowed, false},
        {L"C:a.ttf", Network::Allowed, false},
        {L"\\fonts\\a.ttf", Network::Allowed, false},
        {L"", Network::Allowed, false},
    };
    for (const auto &[text, network, expected] : texts)
        EXPECT_EQ(safefile::nameable(text, network), expected) << wideToUtf8(text);

    // A live pipe is not reached: the open is refused before it would connect (and block).
    const vorla::UniqueFileHandle pipe(
        CreateNamedPipeW(L"\\\\.\\pipe\\vorla-named-file", PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr));
    ASSERT_TRUE(pipe);
    EXPECT_FALSE(safefile::openNamed(L"\\\\.\\pipe\\vorla-named-file", Network::Allowed));

    TempDir dir("named");
    EXPECT_FALSE(safefile::openNamed(dir.path().wstring(), Network::Refused));  // a folder
    EXPECT_FALSE(safefile::openNamed((dir / "missing.ttf").wstring(), Network::Refused));
    const std::string font = sfnt::miniFont({"Named File Sans", "", "NamedFileSans-Regular", ""});
    writeFile(dir / "font.ttf", font);
    const vorla::UniqueFileHandle file = safefile::openNamed((dir / "font.ttf").wstring(), Network::Refused);
    ASSERT_TRUE(file);
    safefile::HandleStream in(file.get());
    EXPECT_EQ(readFontNames(in, "en").postScriptName, "NamedFileSans-Regular");
    in.clear();
    in.seekg(0);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, font);
}

// The un-elevated lookup keeps following the user's own settings; the elevated one never reads them.
TEST(SafeFile, OnlyTheUnelevatedPerUserFolderFollowsTheUsersSettings) {
    const std::wstring elevated = safefile::userFontsFolder(true);
    ASSERT_FALSE(elevated.empty());
    RedirectedLocalAppData redirected(kLinks + "\\victim\\appdata");
    EXPECT_EQ(safefile::userFontsFolder(false), utf8ToWide(kLinks + "\\victim\\appdata\\Microsoft\\Windows\\Fonts"));
    EXPECT_EQ(safefile::userFontsFolder(true), elevated);
}
