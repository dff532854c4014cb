// Font health: the check of both scopes and the repair, in process through the installation core
// (per-user findings) and through Marlet.exe -r (all-users findings), on the prefix's real registry
// and files.
#include "FindingJson.h"
#include "common/SafeFile.h"
#include "common/Status.h"
#include "interactive/win/FontHealth.h"
#include "interactive/win/FontHealthFile.h"
#include "interactive/win/FontUtil.h"
#include "support/CatalogueFixtures.h"
#include "support/ChildProcess.h"
#include "support/CoreFixtures.h"
#include "support/MessageReceiver.h"
#include "support/MiniFont.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace fs = std::filesystem;
using namespace corefix;
using testsupport::TempDir;

namespace {

std::string runTag() {
    static const std::string tag = std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(GetTickCount64() % 1000000);
    return tag;
}

// The fonts folders, ending with a backslash; the per-user one made when a fresh profile has none.
std::string userFolder() {
    fs::create_directories(testsupport::pathOf(localFontsFolder()));
    return localFontsFolder();
}
std::string machineFolder() { return systemFontsFolder(); }

std::string uniqueFont(const std::string &family, int pad = 0) {
    return sfnt::miniFont({family, "", "", ""}) + std::string(static_cast<size_t>(pad) * 4, '\0');
}

void removeFile(const std::string &path) {
    std::error_code ec;
    fs::remove(testsupport::pathOf(path), ec);
}

// Values of a subkey of the per-user Fonts key.
std::wstring subkeyPath(const std::string &subkey) { return std::wstring(kFontsKeyW) + L"\\" + utf8ToWide(subkey); }
void setSubkeyValue(const std::string &subkey, const std::string &name, const std::string &data) {
    const std::wstring wide = utf8ToWide(data);
    RegSetKeyValueW(HKEY_CURRENT_USER, subkeyPath(subkey).c_str(), utf8ToWide(name).c_str(), REG_SZ, wide.c_str(),
                    static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}
bool subkeyValueExists(const std::string &subkey, const std::string &name) {
    return RegGetValueW(HKEY_CURRENT_USER, subkeyPath(subkey).c_str(), utf8ToWide(name).c_str(), RRF_RT_ANY, nullptr,
                        nullptr, nullptr) == ERROR_SUCCESS;
}
void deleteSubkey(const std::string &subkey) { RegDeleteTreeW(HKEY_CURRENT_USER, subkeyPath(subkey).c_str()); }

bool samePathText(const std::string &a, const std::string &b) {
    return safefile::samePath(utf8ToWide(a), utf8ToWide(b));
}

// The findings of the check that concern an entry or a file of a test: by value name, else by path.
std::vector<HealthFinding> findingsOf(const std::vector<HealthFinding> &all, const std::string &valueName,
                                      const std::string &path) {
    std::vector<HealthFinding> found;
    for (const HealthFinding &f : all) {
        if (!valueName.empty() ? f.valueName == valueName : (f.valueName.empty() && samePathText(f.path, path)))
            found.push_back(f);
    }
    return found;
}

std::string describe(const std::vector<HealthFinding> &findings) {
    std::string out;
    for (const HealthFinding &f : findings)
        out += std::string(healthKindName(f.kind)) + "/" + std::to_string(static_cast<int>(f.scope)) + " [" +
               f.valueName + "] [" + f.path + "] " + f.detail + "\n";
    return out;
}

// A JSON string literal.
std::string jsonText(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// The findings as the bridge hands them to Marlet.
std::string findingsJson(const std::vector<HealthFinding> &findings) {
    std::string json = "[";
    for (const HealthFinding &f : findings) {
        if (json.size() > 1) json += ",";
        json += "{\"kind\":" + jsonText(healthKindName(f.kind)) +
                ",\"scope\":" + std::to_string(static_cast<int>(f.scope)) + ",\"valueName\":" + jsonText(f.valueName) +
                ",\"path\":" + jsonText(f.path) + ",\"size\":" + std::to_string(f.size) + ",\"keep\":false}";
    }
    return json + "]";
}

std::string quoted(const std::string &json) {
    std::string out;
    for (char c : json) out += c == '"' ? std::string("\\'") : std::string(1, c);
    return out;
}

std::wstring marletExe() { return (testsupport::buildDir() / L"Marlet.exe").wstring(); }

struct MarletRun {
    testsupport::RunResult run;
    std::vector<int> codes;
};
// Marlet.exe -r with the findings, the result list in a file; window: the -w value (none when empty).
MarletRun runRepair(const std::vector<HealthFinding> &findings, const std::string &window = "") {
    TempDir work("health-marlet");
    const fs::path result = work / "result.json";
    std::vector<std::wstring> args = {L"-r", utf8ToWide(quoted(findingsJson(findings))), L"-o", result.wstring()};
    if (!window.empty()) args.insert(args.end(), {L"-w", utf8ToWide(window)});
    MarletRun out;
    out.run = testsupport::runProgram(marletExe(), args, work.path(), work.path());
    const std::string text = readFile(result);
    for (size_t at = text.find("\"code\":\""); at != std::string::npos; at = text.find("\"code\":\"", at + 1))
        out.codes.push_back(std::stoi(text.substr(at + 8)));
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The verdict on one file: the name reader's bounds, then the font system.
TEST(FontHealthFile, TellsFontsFromWhatIsNone) {
    const std::string mini = uniqueFont("HcVerdict" + runTag());
    std::string manyTables = mini;
    manyTables[5] = 40;  // more records than the directory holds
    std::string noTables = mini;
    noTables[4] = noTables[5] = 0;
    std::string apple = mini;
    apple.replace(0, 4, "true");  // an intact directory the font system does not support
    std::string otto = mini;
    otto.replace(0, 4, "OTTO");
    const std::string collection = CatalogueFixtures::fontCollection({mini, uniqueFont("HcVerdict2" + runTag())});
    std::string badFace = collection;
    badFace.replace(16, 4, std::string("\x7f\0\0\0", 4));  // the second face's directory beyond the end
    const std::string ne = "MZ" + std::string(0x3A, '\0') + std::string("\x40\0\0\0", 4) + "NE" + std::string(60, '\0');
    const std::string pe = "MZ" + std::string(0x3A, '\0') + std::string("\x40\0\0\0", 4) + "PE" + std::string(60, '\0');
    std::string fnt = std::string("\x00\x03", 2) + std::string(114, 'f');
    fnt.replace(2, 4, std::string("\x74\0\0\0", 4));  // dfSize: the file's 116 bytes
    const std::string dejaVu = sfnt::readBinary(std::string(kDejaVuFolder) + "DejaVuSans.ttf");

    struct Case {
        const char *what;
        std::string bytes;
        bool font;
        std::string problem;  // a part of it
        std::string postscriptName;
    };
    const std::vector<Case> cases = {
        {"a small TrueType font", mini, true, "", "HcVerdict" + runTag()},
        {"a real font of a Debian package", dejaVu, true, "", "DejaVuSans"},
        {"CFF outlines as the header says", otto, true, "", "HcVerdict" + runTag()},
        {"a collection of two faces", collection, true, "", "HcVerdict" + runTag()},
        {"an empty file", "", false, "empty", ""},
        {"a text file", "Just some notes, saved as .ttf\r\n", false, "not a font file", ""},
        {"a font cut in half", mini.substr(0, mini.size() / 2), false, "beyond the end", ""},
        {"a header cut short", mini.substr(0, 10), false, "no font header", ""},
        {"a directory longer than the file", manyTables, false, "", ""},
        {"no tables", noTables, false, "no font tables", ""},
        {"a header the font system refuses", apple, false, "font system", ""},
        {"a collection face beyond the end", badFace, false, "", ""},
        {"a web font", "wOFF" + mini, false, "not a font file", ""},
        {"a .fon (NE executable)", ne, true, "", ""},
        {"a program (PE executable)", pe, false, "not a font file", ""},
        {"a raw .fnt", fnt, true, "", ""},
        {"a Type 1 outline file", std::string("\x80\x01", 2) + "%!PS-AdobeFont-1.0", true, "", ""},
    };
    TempDir dir("health-verdict");
    health::FontSystem fonts;
    int n = 0;
    for (const Case &c : cases) {
        const fs::path path = dir / ("case" + std::to_string(n++) + ".ttf");
        testsupport::writeFile(path, c.bytes);
        const vorla::UniqueFileHandle file(
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        const health::FileFacts facts = health::examineFile(file.get(), fonts, true);
        EXPECT_EQ(facts.font, c.font) << c.what << ": " << facts.problem;
        EXPECT_NE(facts.problem.find(c.problem), std::string::npos) << c.what << ": " << facts.problem;
        EXPECT_EQ(facts.size, static_cast<std::int64_t>(c.bytes.size())) << c.what;
        if (c.font && !c.postscriptName.empty()) {
            EXPECT_EQ(facts.postscriptName, c.postscriptName) << c.what;
            EXPECT_NE(facts.fontRevision, 0u) << c.what;
        }
    }
}

// ---------------------------------------------------------------------------------------
// One row per broken state: each is found by the check, repaired (per-user rows by the core as
// the library runs it, all-users rows by Marlet), and the check then reports it no more.
TEST(FontHealth, EveryBrokenStateIsFoundAndRepaired) {
    struct Broken {
        std::string valueName;  // of the finding ("" for an unnamed copy)
        std::string path;
        std::function<void()> repaired;  // what must hold afterwards
        std::function<void()> cleanUp;
    };
    struct Row {
        const char *what;
        HealthKind kind;
        HealthScope scope;
        std::function<Broken(const std::string &tag)> make;
    };
    const std::vector<Row> rows = {
        {"a deleted copy", HealthKind::MissingFile, HealthScope::CurrentUser,
         [](const std::string &tag) {
             const std::string name = "HcMissing " + tag + " (TrueType)";
             const std::string copy = userFolder() + "HcMissing-" + tag + ".ttf";
             writeFile(copy, uniqueFont("HcMissing" + tag));
             setRawFontValue(HKEY_CURRENT_USER, name, REG_SZ, copy);
             removeFile(copy);
             return Broken{name, copy, [=] { EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, name).exists); },
                           [=] { deleteRawFontValue(HKEY_CURRENT_USER, name); }};
         }},
        {"an all-users entry naming no file", HealthKind::MissingFile, HealthScope::AllUsers,
         [](const std::string &tag) {
             const std::string name = "HcGone " + tag + " (TrueType)";
             setRawFontValue(HKEY_LOCAL_MACHINE, name, REG_SZ, "HcGone-" + tag + ".ttf");  // a bare name
             return Broken{name, machineFolder() + "HcGone-" + tag + ".ttf",
                           [=] { EXPECT_FALSE(readRawFontValue(HKEY_LOCAL_MACHINE, name).exists); },
                           [=] { deleteRawFontValue(HKEY_LOCAL_MACHINE, name); }};
         }},
        {"an unnamed copy", HealthKind::UnnamedCopy, HealthScope::CurrentUser,
         [](const std::string &tag) {
             const std::string copy = userFolder() + "HcUnnamed-" + tag + ".ttf";
             writeFile(copy, uniqueFont("HcUnnamed" + tag));
             return Broken{"", copy, [=] { EXPECT_FALSE(exists(copy)); }, [=] { removeFile(copy); }};
         }},
        {"a text file under a per-user entry", HealthKind::NotLoadable, HealthScope::CurrentUser,
         [](const std::string &tag) {
             const std::string name = "HcText " + tag + " (TrueType)";
             const std::string file = userFolder() + "HcText-" + tag + ".ttf";
             writeFile(file, "These are notes, not a font.\r\n");
             setRawFontValue(HKEY_CURRENT_USER, name, REG_SZ, file);
             return Broken{name, file,
                           [=] {
                               EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, name).exists);
                               EXPECT_TRUE(exists(file)) << "only the entry goes";
                           },
                           [=] {
                               deleteRawFontValue(HKEY_CURRENT_USER, name);
                               removeFile(file);
                           }};
         }},
        {"a text file under an all-users entry", HealthKind::NotLoadable, HealthScope::AllUsers,
         [](const std::string &tag) {
             const std::string name = "HcSysText " + tag + " (TrueType)";
             const std::string file = machineFolder() + "HcSysText-" + tag + ".ttf";
             writeFile(file, "");
             setRawFontValue(HKEY_LOCAL_MACHINE, name, REG_SZ, "HcSysText-" + tag + ".ttf");
             return Broken{name, file,
                           [=] {
                               EXPECT_FALSE(readRawFontValue(HKEY_LOCAL_MACHINE, name).exists);
                               EXPECT_TRUE(exists(file)) << "only the entry goes";
                           },
                           [=] {
                               deleteRawFontValue(HKEY_LOCAL_MACHINE, name);
                               removeFile(file);
                           }};
         }},
        {"a relative per-user entry", HealthKind::LostAtLogon, HealthScope::CurrentUser,
         [](const std::string &tag) {
             const std::string name = "HcRelative " + tag + " (TrueType)";
             const std::string copy = userFolder() + "HcRelative-" + tag + ".ttf";
             writeFile(copy, uniqueFont("HcRelative" + tag));
             setRawFontValue(HKEY_CURRENT_USER, name, REG_SZ, "HcRelative-" + tag + ".ttf");
             return Broken{name, copy,
                           [=] {
                               EXPECT_TRUE(samePathText(readRawFontValue(HKEY_CURRENT_USER, name).text, copy));
                               EXPECT_TRUE(exists(copy));
                           },
                           [=] {
                               deleteRawFontValue(HKEY_CURRENT_USER, name);
                               removeFile(copy);
                           }};
         }},
        {"a value in a subkey (another tool's per-user install)", HealthKind::LostAtLogon, HealthScope::CurrentUser,
         [](const std::string &tag) {
             const std::string subkey = "HcTool-" + tag;
             const std::string name = "HcSub " + tag + " (TrueType)";
             const std::string folder = userFolder() + subkey;
             fs::create_directories(testsupport::pathOf(folder));
             const std::string copy = folder + "\\HcSub-" + tag + ".ttf";
             writeFile(copy, uniqueFont("HcSub" + tag));
             setSubkeyValue(subkey, name, copy);
             return Broken{subkey + "\\" + name, copy,
                           [=] {
                               EXPECT_TRUE(samePathText(readRawFontValue(HKEY_CURRENT_USER, name).text, copy));
                               EXPECT_FALSE(subkeyValueExists(subkey, name));
                           },
                           [=] {
                               deleteRawFontValue(HKEY_CURRENT_USER, name);
                               deleteSubkey(subkey);
                               std::error_code ec;
                               fs::remove_all(testsupport::pathOf(folder), ec);
                           }};
         }},
    };

    std::vector<Broken> made;
    for (size_t i = 0; i < rows.size(); ++i) made.push_back(rows[i].make(runTag() + "-" + std::to_string(i)));
    const std::vector<HealthFinding> before = checkFontHealth();
    std::vector<HealthFinding> perUser, allUsers;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<HealthFinding> found = findingsOf(before, made[i].valueName, made[i].path);
        ASSERT_EQ(found.size(), 1u) << rows[i].what << "\n" << describe(found);
        EXPECT_EQ(found[0].kind, rows[i].kind) << rows[i].what << "\n" << describe(found);
        EXPECT_EQ(found[0].scope, rows[i].scope) << rows[i].what;
        EXPECT_TRUE(samePathText(found[0].path, made[i].path)) << rows[i].what << ": " << found[0].path;
        EXPECT_FALSE(found[0].detail.empty()) << rows[i].what;
        (rows[i].scope == HealthScope::CurrentUser ? perUser : allUsers).push_back(found[0]);
    }

    // The library repairs the per-user findings; the all-users ones are not its to touch.
    EXPECT_EQ(repairFontHealth(perUser, HealthScope::CurrentUser), std::vector<int>(perUser.size(), Status::kDone));
    EXPECT_EQ(repairFontHealth(allUsers, HealthScope::CurrentUser),
              std::vector<int>(allUsers.size(), Status::kException));
    // Marlet repairs the all-users findings, and leaves a per-user one alone.
    std::vector<HealthFinding> marletList = allUsers;
    marletList.push_back(perUser.front());
    const MarletRun marlet = runRepair(marletList);
    ASSERT_TRUE(marlet.run.finished);
    EXPECT_EQ(marlet.run.exitCode, 0u) << marlet.run.out;
    std::vector<int> expected(allUsers.size(), Status::kDone);
    expected.push_back(Status::kException);
    EXPECT_EQ(marlet.codes, expected) << marlet.run.out;

    const std::vector<HealthFinding> after = checkFontHealth();
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_TRUE(findingsOf(after, made[i].valueName, made[i].path).empty())
            << rows[i].what << "\n"
            << describe(findingsOf(after, made[i].valueName, made[i].path));
        made[i].repaired();
        made[i].cleanUp();
    }
}

// ---------------------------------------------------------------------------------------
// A finding that no longer holds when the repair comes is skipped (1005) and nothing changes.
TEST(FontHealthRepair, AFindingChangedBetweenCheckAndRepairIsSkipped) {
    struct Case {
        const char *what;
        std::function<void(const std::string &tag)> make;  // the broken state
        std::function<void(const std::string &tag)> change;
        std::function<void(const std::string &tag)> unchanged;  // what the skipped repair left
    };
    const auto name = [](const std::string &tag) { return "HcChanged " + tag + " (TrueType)"; };
    const auto file = [](const std::string &tag) { return userFolder() + "HcChanged-" + tag + ".ttf"; };
    const std::vector<Case> cases = {
        {"the missing file came back",
         [&](const std::string &tag) { setRawFontValue(HKEY_CURRENT_USER, name(tag), REG_SZ, file(tag)); },
         [&](const std::string &tag) { writeFile(file(tag), uniqueFont("HcChanged" + tag)); },
         [&](const std::string &tag) { EXPECT_EQ(readRawFontValue(HKEY_CURRENT_USER, name(tag)).text, file(tag)); }},
        {"the entry now names another file",
         [&](const std::string &tag) { setRawFontValue(HKEY_CURRENT_USER, name(tag), REG_SZ, file(tag) + ".gone"); },
         [&](const std::string &tag) { setRawFontValue(HKEY_CURRENT_USER, name(tag), REG_SZ, file(tag) + ".other"); },
         [&](const std::string &tag) {
             EXPECT_EQ(readRawFontValue(HKEY_CURRENT_USER, name(tag)).text, file(tag) + ".other");
         }},
        {"an entry now names the unnamed copy",
         [&](const std::string &tag) { writeFile(file(tag), uniqueFont("HcChanged" + tag)); },
         [&](const std::string &tag) { setRawFontValue(HKEY_CURRENT_USER, name(tag), REG_SZ, file(tag)); },
         [&](const std::string &tag) { EXPECT_TRUE(exists(file(tag))); }},
        {"the unnamed copy was replaced by another version",
         [&](const std::string &tag) { writeFile(file(tag), uniqueFont("HcChanged" + tag)); },
         [&](const std::string &tag) { writeFile(file(tag), uniqueFont("HcChanged" + tag, 3)); },
         [&](const std::string &tag) { EXPECT_TRUE(exists(file(tag))); }},
        {"the file that was no font is a font now",
         [&](const std::string &tag) {
             writeFile(file(tag), "notes");
             setRawFontValue(HKEY_CURRENT_USER, name(tag), REG_SZ, file(tag));
         },
         [&](const std::string &tag) { writeFile(file(tag), uniqueFont("HcChanged" + tag)); },
         [&](const std::string &tag) { EXPECT_TRUE(readRawFontValue(HKEY_CURRENT_USER, name(tag)).exists); }},
        {"another tool wrote the relative entry's full path",
         [&](const std::string &tag) {
             writeFile(file(tag), uniqueFont("HcChanged" + tag));
             setRawFontValue(HKEY_CURRENT_USER, name(tag), REG_SZ, "HcChanged-" + tag + ".ttf");
         },
         [&](const std::string &tag) { setRawFontValue(HKEY_CURRENT_USER, name(tag), REG_SZ, file(tag)); },
         [&](const std::string &tag) { EXPECT_EQ(readRawFontValue(HKEY_CURRENT_USER, name(tag)).text, file(tag)); }},
    };
    int n = 0;
    for (const Case &c : cases) {
        const std::string tag = runTag() + "-c" + std::to_string(n++);
        c.make(tag);
        std::vector<HealthFinding> found = findingsOf(checkFontHealth(), name(tag), "");
        if (found.empty()) found = findingsOf(checkFontHealth(), "", file(tag));
        ASSERT_EQ(found.size(), 1u) << c.what;
        c.change(tag);
        EXPECT_EQ(repairFontHealth(found, HealthScope::CurrentUser), std::vector<int>{Status::kNotFound}) << c.what;
        c.unchanged(tag);
        deleteRawFontValue(HKEY_CURRENT_USER, name(tag));
        removeFile(file(tag));
    }
}

// The repair deletes no file outside the fonts folders and none that an entry still names, and
// writes no entry naming a file outside them: a finding naming such a file (made up by a caller,
// or true once) is refused.
TEST(FontHealthRepair, NothingOutsideTheFontsFoldersNorANamedFileIsDeleted) {
    const std::string tag = runTag() + "-named";
    const std::string outside = scratchFolder("health-outside") + "\\HcOutside-" + tag + ".ttf";
    writeFile(outside, uniqueFont("HcOutside" + tag));
    const std::string font = uniqueFont("HcNamed" + tag);
    const auto copy = [&](const char *which) { return userFolder() + "HcNamed-" + tag + "-" + which + ".ttf"; };
    for (const char *which : {"root", "case", "subkey", "machine"}) writeFile(copy(which), font);
    // Elevated, Marlet touches no per-user finding at all, an unnamed copy as true as it is.
    HealthFinding perUser;
    perUser.kind = HealthKind::UnnamedCopy;
    perUser.path = copy("root");
    const MarletRun marlet = runRepair({perUser});
    EXPECT_EQ(marlet.codes, std::vector<int>{Status::kException}) << marlet.run.out;
    EXPECT_TRUE(exists(copy("root")));
    setRawFontValue(HKEY_CURRENT_USER, "HcNamed root " + tag, REG_SZ, copy("root"));
    setRawFontValue(HKEY_CURRENT_USER, "HcNamed case " + tag, REG_SZ, slashes(toUpper(copy("case"))));
    setSubkeyValue("HcNamedTool-" + tag, "HcNamed subkey " + tag, copy("subkey"));
    setRawFontValue(HKEY_LOCAL_MACHINE, "HcNamed machine " + tag, REG_SZ, copy("machine"));

    std::vector<HealthFinding> findings;
    const auto unnamed = [&](const std::string &path) {
        HealthFinding f;
        f.kind = HealthKind::UnnamedCopy;
        f.path = path;
        findings.push_back(f);
    };
    unnamed(outside);
    unnamed(userFolder() + "..\\..\\..\\..\\..\\..\\" + outside.substr(3));  // the fonts folder's text, leading out
    for (const char *which : {"root", "case", "subkey", "machine"}) unnamed(copy(which));
    HealthFinding moved;  // a subkey value naming a file outside: never written into the Fonts key
    moved.kind = HealthKind::LostAtLogon;
    moved.valueName = "HcNamedTool-" + tag + "\\HcOutside " + tag;
    moved.path = outside;
    setSubkeyValue("HcNamedTool-" + tag, "HcOutside " + tag, outside);
    findings.push_back(moved);

    std::vector<int> expected(findings.size(), Status::kNotFound);
    expected.back() = Status::kRegistry;
    EXPECT_EQ(repairFontHealth(findings, HealthScope::CurrentUser), expected);
    EXPECT_TRUE(exists(outside));
    for (const char *which : {"root", "case", "subkey", "machine"}) EXPECT_TRUE(exists(copy(which))) << which;
    EXPECT_FALSE(readRawFontValue(HKEY_CURRENT_USER, "HcOutside " + tag).exists);
    EXPECT_TRUE(subkeyValueExists("HcNamedTool-" + tag, "HcOutside " + tag));

    for (const char *which : {"root", "case"})
        deleteRawFontValue(HKEY_CURRENT_USER, "HcNamed " + std::string(which) + " " + tag);
    deleteRawFontValue(HKEY_LOCAL_MACHINE, "HcNamed machine " + tag);
    deleteSubkey("HcNamedTool-" + tag);
    for (const char *which : {"root", "case", "subkey", "machine"}) removeFile(copy(which));
}

// Real fonts of Debian packages installed in both scopes, as the library and an installer of the
// system write them, give no finding: the check finds after it what it found before.
TEST(FontHealth, AHealthyInstallationGivesNoFinding) {
    const auto key = [](const HealthFinding &f) {
        return std::string(healthKindName(f.kind)) + "|" + std::to_string(static_cast<int>(f.scope)) + "|" +
               f.valueName + "|" + f.path;
    };
    std::vector<std::string> before;
    for (const HealthFinding &f : checkFontHealth()) before.push_back(key(f));

    std::vector<std::string> sources;
    for (const char *file : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansMono.ttf", "DejaVuSerif.ttf"})
        sources.push_back(std::string(kDejaVuFolder) + file);
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(testsupport::buildDir() / L"fonts" / L"lxgw", ec)) (void)entry;
    for (const auto &entry : fs::recursive_directory_iterator(testsupport::buildDir() / L"fonts" / L"lxgw", ec))
        if (entry.path().extension() == L".ttf") sources.push_back(testsupport::textOf(entry.path()));

    // Installed as installers write them, without loading them into the session: per user a copy in the
    // per-user fonts folder and an entry with its full path; for all users a copy in the all-users fonts
    // folder and an entry with its bare file name, or with its full path. (Under Wine 8, loading LXGW
    // WenKai into the session and removing it again makes every later window program of the session
    // die at its start; DejaVu's faces the session knows already, and removing a loaded copy again would
    // take the system's face away.)
    const std::string tag = runTag() + "-healthy";
    std::vector<std::string> userValues, machineValues, machineFiles;
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string base = "hc-" + tag + "-" + fileNameOf(sources[i]);
        ASSERT_TRUE(copyFileOverwrite(sources[i], userFolder() + base));
        userValues.push_back("HcHealthy User " + tag + " " + std::to_string(i) + " (TrueType)");
        setRawFontValue(HKEY_CURRENT_USER, userValues.back(), REG_SZ, userFolder() + base);
        machineFiles.push_back(machineFolder() + base);
        ASSERT_TRUE(copyFileOverwrite(sources[i], machineFiles.back()));
        machineValues.push_back("HcHealthy " + tag + " " + std::to_string(i) + " (TrueType)");
        setRawFontValue(HKEY_LOCAL_MACHINE, machineValues.back(), REG_SZ, i % 2 == 0 ? base : machineFiles.back());
    }
    const std::string collection = userFolder() + "hc-" + tag + "-pair.ttc";
    writeFile(collection, CatalogueFixtures::fontCollection({readFile(sources[0]), readFile(sources[1])}));
    userValues.push_back("HcHealthy Pair " + tag + " (TrueType)");
    setRawFontValue(HKEY_CURRENT_USER, userValues.back(), REG_SZ, collection);

    std::vector<std::string> after;
    for (const HealthFinding &f : checkFontHealth()) after.push_back(key(f));
    EXPECT_EQ(after, before);

    for (const std::string &value : userValues) {
        removeFile(readRawFontValue(HKEY_CURRENT_USER, value).text);
        deleteRawFontValue(HKEY_CURRENT_USER, value);
    }
    for (const std::string &value : machineValues) deleteRawFontValue(HKEY_LOCAL_MACHINE, value);
    for (const std::string &file : machineFiles) removeFile(file);
}

// ---------------------------------------------------------------------------------------
// Marlet -r: the findings list as the bridge writes it, one message per finding, the final one.
TEST(MarletRepair, FindingListMessagesAndUsage) {
    struct Case {
        const char *what;
        std::string json;
        std::vector<std::string> expected;  // kind/scope/valueName/path/size/keep
    };
    const auto text = [](const HealthFinding &f) {
        return std::string(healthKindName(f.kind)) + "/" + std::to_string(static_cast<int>(f.scope)) + "/" +
               f.valueName + "/" + f.path + "/" + std::to_string(f.size) + "/" + (f.keep ? "keep" : "");
    };
    const std::vector<Case> cases = {
        {"every member",
         R"j([{"kind":"missingFile","scope":1,"valueName":"A (TrueType)","path":"C:\\f\\a.ttf","keep":false,"size":12}])j",
         {"missingFile/1/A (TrueType)/C:\\f\\a.ttf/12/"}},
        {"missing members keep their defaults; size not given is not compared",
         R"j([{"kind":"unnamedCopy","path":"p"},{"keep":true}])j",
         {"unnamedCopy/0//p/-1/", "/0///-1/keep"}},
        {"members of another type are ignored, the later duplicate wins",
         R"j([{"kind":"notLoadable","kind":4,"scope":"1","path":"a","path":"b","size":1.5}])j",
         {"notLoadable/0//b/-1/"}},
        {"an unknown kind", R"j([{"kind":"brokenish","scope":1}])j", {"/1///-1/"}},
        {"elements that are not objects are skipped",
         R"j([1,null,"x",{"kind":"lostAtLogon"}])j",
         {"lostAtLogon/0///-1/"}},
        {"not an array", R"j({"kind":"missingFile"})j", {}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> got;
        for (const HealthFinding &f : parseFindingList(c.json)) got.push_back(text(f));
        EXPECT_EQ(got, c.expected) << c.what;
    }

    // Through Marlet.exe with a recording window: 0x1405 per finding (index, status), 0x1406 (count).
    TempDir dir("health-messages");
    testsupport::Receiver receiver(dir);
    ASSERT_FALSE(receiver.handle().empty());
    HealthFinding unknown;
    unknown.scope = HealthScope::AllUsers;
    HealthFinding gone;  // an all-users entry that does not exist (any more)
    gone.kind = HealthKind::MissingFile;
    gone.scope = HealthScope::AllUsers;
    gone.valueName = "HcNever " + runTag() + " (TrueType)";
    const MarletRun run = runRepair({unknown, gone}, receiver.handle());
    const std::vector<testsupport::Record> records = receiver.stop();
    EXPECT_EQ(run.run.exitCode, 0u);
    EXPECT_EQ(run.codes, (std::vector<int>{Status::kException, Status::kNotFound}));
    ASSERT_EQ(records.size(), 3u) << testsupport::describe(records);
    const std::vector<std::vector<long long>> expected = {{0x1405, 0, 1111}, {0x1405, 1, 1005}, {0x1406, 2, 0}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i].message, static_cast<unsigned>(expected[i][0]));
        EXPECT_EQ(records[i].wParam, static_cast<unsigned long long>(expected[i][1]));
        EXPECT_EQ(records[i].lParam, expected[i][2]);
    }

    // -r with another mode is a usage error; nothing runs.
    for (const char *other : {"-i", "-u"}) {
        const auto usage = testsupport::runProgram(marletExe(), {L"-r", L"[]", utf8ToWide(other), L"[]"}, dir.path(),
                                                   dir.path());
        EXPECT_EQ(usage.exitCode, 1u) << other;
        EXPECT_NE(usage.out.find("Usage:  <-i , -u , -r>  not all open."), std::string::npos) << usage.out;
    }
    const auto bare = testsupport::runProgram(marletExe(), {L"-r"}, dir.path(), dir.path());
    EXPECT_EQ(bare.exitCode, 1u);
    EXPECT_NE(bare.out.find("Usage: -r needs a value."), std::string::npos) << bare.out;
}
