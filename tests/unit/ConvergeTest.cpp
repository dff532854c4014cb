// Batches that converge: installing again, faces of one family, runs ended at any moment and
// runs at the same time leave one entry and one copy per font, each entry naming its own font.
// In process through the installation core, and through Marlet.exe under Wine.
#include "common/Status.h"
#include "interactive/win/FontUtil.h"
#include "interactive/win/Journal.h"
#include "support/ChildProcess.h"
#include "support/CoreFixtures.h"
#include "support/InstalledFonts.h"
#include "support/LogCapture.h"
#include "support/MarletRuns.h"
#include "support/MiniFont.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using namespace corefix;
using namespace installed;
using testsupport::TempDir;

namespace {

// A font no other test uses; pad makes another version of the same face (same names, other bytes).
std::string uniqueFont(const std::string &family, int pad = 0) {
    return sfnt::miniFont({family, "", "", ""}) + std::string(static_cast<size_t>(pad) * 4, '\0');
}

// The same names without a PostScript name: such fonts are told apart by their bytes only.
std::string unnamedFace(const std::string &family, int pad) {
    return sfnt::miniFont({family, "", "", ""}, false) + std::string(static_cast<size_t>(pad) * 4, '\0');
}

// Temporary copies in the per-user fonts folder (their processes are gone once a run ends).
int temporaryFiles() {
    int count = 0;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(testsupport::pathOf(localFontsFolder()), ec))
        count += entry.path().filename().wstring().rfind(L"~vorla-", 0) == 0 ? 1 : 0;
    return count;
}

// Two faces of one family named like LXGW WenKai: a Chinese family (ID 1) and no Chinese full
// name, so both faces get the same registry name; English names, subfamily and PostScript name.
std::string wenKaiLike(const std::string &chineseFamily, const std::string &style) {
    const std::string english = "Vorla WenKai " + runTag();
    return dejaVuWithNames({
        sfnt::windowsName(sfnt::kFamily, sfnt::kWinEnglish, english),
        sfnt::windowsName(sfnt::kSubfamily, sfnt::kWinEnglish, style),
        sfnt::windowsName(sfnt::kFullName, sfnt::kWinEnglish, english + " " + style),
        sfnt::windowsName(sfnt::kPostScript, sfnt::kWinEnglish, "VorlaWenKai" + runTag() + "-" + style),
        sfnt::windowsName(sfnt::kFamily, sfnt::kWinChineseSimplified, chineseFamily),
    });
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Installing again, in process: each case installs its files in order, then every named entry
// must name a copy holding the expected font, and the chain of the file name holds exactly
// `copies` files.
TEST(ConvergeInstall, InstallingAgain) {
    struct Install {
        std::string file;  // source file name (in its own folder)
        int font;          // index into the case's fonts
    };
    struct Case {
        const char *what;
        std::vector<std::string> fonts;  // bytes
        bool leftCopy;                   // fonts[0] already lies at base, no entry
        std::vector<Install> installs;
        std::vector<std::pair<std::string, int>> entries;  // value name -> font it must name
        int copies;                                        // files on the chain afterwards
    };
    const std::string t = runTag();
    const std::string wenKai = "沃拉文楷" + t;
    const std::vector<Case> cases = {
        {"same file three times",
         {uniqueFont("CvSame" + t)},
         false,
         {{"a", 0}, {"a", 0}, {"a", 0}},
         {{"CvSame" + t + " (TrueType)", 0}},
         1},
        {"another font whose file has the same name",
         {uniqueFont("CvOne" + t), uniqueFont("CvTwo" + t)},
         false,
         {{"a", 0}, {"b", 1}},
         {{"CvOne" + t + " (TrueType)", 0}, {"CvTwo" + t + " (TrueType)", 1}},
         2},
        {"a new version of the face",
         {uniqueFont("CvNew" + t), uniqueFont("CvNew" + t, 1)},
         false,
         {{"a", 0}, {"b", 1}},
         {{"CvNew" + t + " (TrueType)", 1}},
         1},
        {"a copy left without an entry",
         {uniqueFont("CvLeft" + t)},
         true,
         {{"a", 0}},
         {{"CvLeft" + t + " (TrueType)", 0}},
         1},
        {"two faces of one family with one chosen name",
         {wenKaiLike(wenKai, "Regular"), wenKaiLike(wenKai, "Bold")},
         false,
         {{"a", 0}, {"b", 1}, {"a", 0}, {"b", 1}},
         {{wenKai + " (TrueType)", 0}, {wenKai + " Bold (TrueType)", 1}},
         2},
        {"two fonts without a PostScript name",
         {unnamedFace("CvNoPs" + t, 0), unnamedFace("CvNoPs" + t, 1)},
         false,
         {{"a", 0}, {"b", 1}},
         {{"CvNoPs" + t + " (TrueType)", 0}, {"CvNoPs" + t + " Regular (TrueType)", 1}},
         2},
        {"three fonts whose chosen names all collide, installed twice",
         {unnamedFace("CvThree" + t, 0), unnamedFace("CvThree" + t, 1), unnamedFace("CvThree" + t, 2)},
         false,
         {{"a", 0}, {"b", 1}, {"c", 2}, {"a", 0}, {"b", 1}, {"c", 2}},
         {{"CvThree" + t + " (TrueType)", 0},
          {"CvThree" + t + " Regular (TrueType)", 1},
          {"CvThree" + t + " 2 (TrueType)", 2}},
         3},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.what);
        const std::string base = "Cv" + std::to_string(i) + "-" + t + ".ttf";
        const std::string folder = scratchFolder("converge-again-" + std::to_string(i));
        if (c.leftCopy) writeFile(localFontsFolder() + base, c.fonts[0]);
        for (const Install &install : c.installs) {
            const std::string dir = folder + "\\" + install.file;
            fs::create_directories(testsupport::pathOf(dir));
            writeFile(dir + "\\" + base, c.fonts[static_cast<size_t>(install.font)]);
            EXPECT_EQ(installFontEntry("", dir + "\\" + base), Status::kDone);
        }
        for (const auto &[valueName, font] : c.entries) {
            const std::string copy = entryOf(valueName);
            EXPECT_FALSE(copy.empty()) << valueName;
            EXPECT_TRUE(readFile(copy) == c.fonts[static_cast<size_t>(font)]) << valueName << " names " << copy;
        }
        EXPECT_EQ(chainFiles(base).size(), static_cast<size_t>(c.copies));
        for (const auto &entry : c.entries) forget(entry.first);
        removeChain(base);
    }
}

// Every face of a real family (LXGW WenKai from Debian: Regular and Bold share a Chinese family
// name and have no Chinese full name) keeps its own entry and its own copy.
TEST(ConvergeInstall, EveryFaceOfARealFamilyStaysRegistered) {
    const fs::path faces = testsupport::buildDir() / L"fonts" / L"lxgw" / L"usr" / L"share" / L"fonts" / L"truetype" /
                           L"lxgw-wenkai";
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(faces, ec)) files.push_back(entry.path());
    if (files.size() < 2) GTEST_SKIP() << "fonts-lxgw-wenkai could not be fetched into the build tree";
    for (const fs::path &file : files) {
        EXPECT_EQ(installFontEntry("", testsupport::textOf(file)), Status::kDone) << file;
    }
    for (const fs::path &file : files) {
        const std::string bytes = readFile(file);
        const std::string base = testsupport::textOf(file.filename());
        const std::vector<std::string> copies = chainFiles(base);
        std::string named;
        for (const std::string &copy : copies) {
            if (readFile(copy) == bytes && !getFontRegStringValueByPath(HKEY_CURRENT_USER, copy).empty()) named = copy;
        }
        EXPECT_EQ(copies.size(), 1u) << base;
        EXPECT_FALSE(named.empty()) << base << " has no entry";
    }
    // Whatever the outcome, nothing of these large fonts stays for the processes that follow.
    for (const fs::path &file : files) {
        for (const std::string &copy : chainFiles(testsupport::textOf(file.filename()))) {
            uninstallFontEntry("", "", copy);
            const std::string entry = getFontRegStringValueByPath(HKEY_CURRENT_USER, copy);
            if (!entry.empty()) deleteRawFontValue(HKEY_CURRENT_USER, entry);
            removeFontResource(copy);
            fs::remove(testsupport::pathOf(copy), ec);
        }
    }
}

// An uninstall ended after deleting the entry leaves a file in the per-user fonts folder that
// no entry names: uninstalling it again removes it (0). Only then: outside that folder, with a
// Fonts key that cannot be opened or read, or with an entry naming the file by its 8.3 short
// path, nothing is deleted and the status is 1005 with the not-found line.
TEST(ConvergeUninstall, AnUnnamedFileGoesOnlyWhenNoEntryNamesIt) {
    const FontKeyOpen unopened = [](HKEY) { return winreg::KeyHandle(); };
    // A key deleted while open: every query of it fails (ERROR_KEY_DELETED), as one opened without
    // the right to read values fails on Windows (Wine does not check a registry handle's rights).
    const FontKeyOpen unreadable = [](HKEY) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VorlaCoreTest\\deleted", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VorlaCoreTest\\deleted");
        return winreg::KeyHandle(key);
    };
    struct Case {
        const char *what;
        bool inUserFonts;
        FontKeyOpen openKey;
        bool shortEntry;  // a per-user entry names the file by its 8.3 short path
        int status;
    };
    const std::vector<Case> cases = {
        {"no entry names it", true, openExistingFontsKey, false, Status::kDone},
        {"outside the per-user fonts folder", false, openExistingFontsKey, false, Status::kNotFound},
        {"the Fonts key cannot be opened", true, unopened, false, Status::kNotFound},
        {"the Fonts key cannot be read", true, unreadable, false, Status::kNotFound},
        {"an entry names it by its 8.3 short path", true, openExistingFontsKey, true, Status::kNotFound},
    };
    fs::create_directories(testsupport::pathOf(localFontsFolder()));              // a fresh profile has none yet
    setRawFontValue(HKEY_CURRENT_USER, "CvUnnamed key " + runTag(), REG_SZ, "");  // a key that exists
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.what);
        const std::string base = "CvUnnamed-" + std::to_string(i) + "-" + runTag() + ".ttf";
        const std::string path = (c.inUserFonts ? localFontsFolder() : scratchFolder("converge-unnamed") + "\\") + base;
        writeFile(path, uniqueFont("CvUnnamed" + std::to_string(i) + runTag()));
        ASSERT_TRUE(exists(path));
        const std::string valueName = "CvUnnamed " + std::to_string(i) + " (TrueType)";
        if (c.shortEntry) {
            wchar_t shortPath[MAX_PATH] = {};
            ASSERT_NE(GetShortPathNameW(utf8ToWide(path).c_str(), shortPath, MAX_PATH), 0u);
            ASSERT_NE(wideToUtf8(shortPath), path) << "no 8.3 form";
            setRawFontValue(HKEY_CURRENT_USER, valueName, REG_SZ, wideToUtf8(shortPath));
        }
        LogCapture log;
        EXPECT_EQ(persistentFontUnInstall(HKEY_CURRENT_USER, "", "", path, removeFontEntry, c.openKey), c.status);
        EXPECT_EQ(exists(path), c.status != Status::kDone);
        if (c.status == Status::kNotFound) {
            EXPECT_EQ(log.at(el::Level::Debug).back(), "[注册表]\t[当前用户字体]\t字体\t[未找到]\t(" + path + ")");
        }
        if (c.shortEntry) {
            EXPECT_TRUE(readRawFontValue(HKEY_CURRENT_USER, valueName).exists);
        }
        deleteRawFontValue(HKEY_CURRENT_USER, valueName);
        std::error_code ec;
        fs::remove(testsupport::pathOf(path), ec);
    }
    deleteRawFontValue(HKEY_CURRENT_USER, "CvUnnamed key " + runTag());
}

// An update retires the older copy of the face only in the folder of its own scope: a per-user
// entry (which the user writes) naming a file of the all-users folder, with a font of the same
// face installed next, must not get that file deleted by an elevated install.
TEST(ConvergeInstall, AnUpdateNeverDeletesFromTheAllUsersFolder) {
    const std::string family = "CvVictim" + runTag();
    const std::string victim = systemFontsFolder() + family + "-system.ttf";
    writeFile(victim, uniqueFont(family));
    ASSERT_TRUE(exists(victim));
    setRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)", REG_SZ, victim);
    const std::string source = scratchFolder("converge-victim") + "\\" + family + ".ttf";
    writeFile(source, uniqueFont(family, 1));  // the same face, other bytes: an update

    EXPECT_EQ(installFontEntry("", source), Status::kDone);
    EXPECT_TRUE(exists(victim)) << "the all-users file was deleted by a per-user update";
    EXPECT_NE(entryOf(family + " (TrueType)"), victim);

    forget(family + " (TrueType)");
    std::error_code ec;
    fs::remove(testsupport::pathOf(victim), ec);
}

// ---------------------------------------------------------------------------------------
// Through Marlet: batches ended at any moment, and batches at the same time.
namespace {

using marletrun::faultyMarletExe;
using marletrun::marlet;
using marletrun::marletExe;

struct BatchFont {
    std::string path, bytes, valueName, base;
};

// count fonts in their own folder, each file name shared with the other batches of the same index.
std::vector<BatchFont> makeBatch(const fs::path &dir, const std::string &tag, int count) {
    std::vector<BatchFont> fonts;
    fs::create_directories(dir);
    for (int i = 0; i < count; ++i) {
        const std::string family = "Cv" + tag + "-" + runTag() + "-" + std::to_string(i);
        const std::string base = "cvb" + std::to_string(i) + "-" + runTag() + ".ttf";
        const std::string path = testsupport::textOf(dir / testsupport::pathOf(base));
        const std::string bytes = uniqueFont(family);
        writeFile(path, bytes);
        fonts.push_back({path, bytes, family + " (TrueType)", base});
    }
    return fonts;
}

std::string listFile(const fs::path &dir, const std::vector<BatchFont> &fonts, const char *name) {
    std::vector<std::string> paths;
    for (const BatchFont &f : fonts) paths.push_back(f.path);
    return marletrun::fontListFile(dir, paths, "x", name);
}

// The list of a batch's installed copies (what an uninstall is handed).
std::vector<BatchFont> installedCopies(const std::vector<BatchFont> &fonts) {
    std::vector<BatchFont> copies;
    for (const BatchFont &f : fonts) {
        const std::string copy = entryOf(f.valueName);
        if (!copy.empty()) copies.push_back({copy, f.bytes, f.valueName, f.base});
    }
    return copies;
}

struct Tally {
    int dangling = 0;  // entries naming a missing file or another font's bytes
    int unnamed = 0;   // copies that no entry names
    int extra = 0;     // fonts with more than one copy
    int missing = 0;   // fonts without an entry
};

Tally tally(const std::vector<BatchFont> &fonts) {
    Tally t;
    for (const BatchFont &f : fonts) {
        const std::string copy = entryOf(f.valueName);
        const int copies = copiesOf(f.bytes, f.base);
        if (copy.empty()) {
            ++t.missing;
            t.unnamed += copies;
        } else {
            if (readFile(copy) != f.bytes) ++t.dangling;
            t.unnamed += copies > 0 && readFile(copy) == f.bytes ? copies - 1 : copies;
            t.extra += copies > 1 ? 1 : 0;
        }
    }
    return t;
}

void forgetBatch(const std::vector<BatchFont> &fonts) {
    for (const BatchFont &f : fonts) {
        forget(f.valueName);
        removeChain(f.base);
    }
}

}  // namespace

// Every step boundary of one font, install and uninstall: the run ends right after the step
// (as a kill would end it); no entry names a missing file. After an uninstall's kill one
// unrelated install (another font) finishes what the killed run left: no copy that no entry
// names. The same batch run again then ends as one whole run: one entry and one copy per font
// (none after uninstall).
TEST(ConvergeKill, AfterEachStepOfAFont) {
    TempDir dir("cv-steps");
    const std::vector<std::pair<const char *, bool>> steps = {
        {"copied", false},  {"named", false},    {"registered", false},  {"loaded", false},
        {"unloaded", true}, {"journaled", true}, {"unregistered", true}, {"deleted", true}};
    for (const auto &[step, uninstall] : steps) {
        SCOPED_TRACE(step);
        const auto fonts = makeBatch(dir / step, std::string("S") + step, 5);
        const std::string list = listFile(dir.path(), fonts, "install.json");
        const std::string at = fonts[2].base + "|" + step;
        if (uninstall) {
            ASSERT_TRUE(marlet(marletExe(), "-i", list, dir.path()).finished);
        }
        const std::string ran = uninstall ? listFile(dir.path(), installedCopies(fonts), "uninstall.json") : list;
        const auto killed = marlet(faultyMarletExe(), uninstall ? "-u" : "-i", ran, dir.path(), at);
        ASSERT_TRUE(killed.finished);
        EXPECT_EQ(killed.exitCode, 99u) << "the run did not end at the step";
        EXPECT_EQ(tally(fonts).dangling, 0);

        if (uninstall) {
            const auto other = makeBatch(dir / (std::string(step) + "-other"), std::string("O") + step, 1);
            ASSERT_TRUE(marlet(marletExe(), "-i", listFile(dir.path(), other, "other.json"), dir.path()).finished);
            const Tally unrelated = tally(fonts);
            EXPECT_EQ(unrelated.dangling, 0);
            EXPECT_EQ(unrelated.unnamed, 0) << "the killed run's copy stayed after an unrelated run";
            EXPECT_TRUE(journal::records(HKEY_CURRENT_USER).empty()) << "a dead run's record stayed";
            forgetBatch(other);
        }

        ASSERT_TRUE(marlet(marletExe(), uninstall ? "-u" : "-i", ran, dir.path()).finished);
        const Tally after = tally(fonts);
        EXPECT_EQ(after.dangling, 0);
        EXPECT_EQ(after.unnamed, 0);
        EXPECT_EQ(after.extra, 0);
        EXPECT_EQ(after.missing, uninstall ? 5 : 0);
        EXPECT_EQ(temporaryFiles(), 0) << "a dead run's temporary copy stayed";
        forgetBatch(fonts);
    }
}

namespace {
int envNumber(const char *name, int fallback) {
    const std::string text = testsupport::env(name);
    return text.empty() ? fallback : std::atoi(text.c_str());
}
}  // namespace

// Batches killed at a random moment (seed printed; VORLA_KILL_SEED repeats a run,
// VORLA_KILL_ROUNDS sets the number of kills of each kind).
TEST(ConvergeKill, RandomKillsOfAnInstallAndAnUninstall) {
    const unsigned seed = static_cast<unsigned>(
        envNumber("VORLA_KILL_SEED", static_cast<int>(GetTickCount() & 0x7fffffff)));
    const int rounds = envNumber("VORLA_KILL_ROUNDS", 4);
    std::printf("random kills: seed %u, %d rounds of each kind\n", seed, rounds);
    std::mt19937 random(seed);
    TempDir dir("cv-random");
    const auto fonts = makeBatch(dir / "fonts", "R", 60);
    const std::string list = listFile(dir.path(), fonts, "install.json");
    // How long a whole run takes: the kills fall within it.
    const auto whole = marlet(marletExe(), "-i", list, dir.path());
    ASSERT_TRUE(whole.finished);
    const std::string uninstallList = listFile(dir.path(), installedCopies(fonts), "uninstall.json");
    ASSERT_TRUE(marlet(marletExe(), "-u", uninstallList, dir.path()).finished);
    const DWORD span = static_cast<DWORD>(whole.seconds * 1000) + 1;

    Tally killed, rerun;
    for (int round = 0; round < 2 * rounds; ++round) {
        const bool uninstall = round >= rounds;
        SCOPED_TRACE((uninstall ? "uninstall round " : "install round ") + std::to_string(round));
        std::string ran = list;
        if (uninstall) {
            ASSERT_TRUE(marlet(marletExe(), "-i", list, dir.path()).finished);
            ran = listFile(dir.path(), installedCopies(fonts), "uninstall.json");
        }
        const DWORD delay = std::uniform_int_distribution<DWORD>(0, span)(random);
        testsupport::ChildProcess child(marletExe(), {uninstall ? L"-u" : L"-i", vorla::utf8ToWide(ran)}, dir.path(),
                                        dir / "out.txt", dir / "err.txt");
        ASSERT_TRUE(child.started());
        if (WaitForSingleObject(child.handle(), delay) == WAIT_TIMEOUT) TerminateProcess(child.handle(), 9);
        child.wait();
        const Tally k = tally(fonts);
        killed.dangling += k.dangling;
        killed.unnamed += k.unnamed;
        ASSERT_TRUE(marlet(marletExe(), uninstall ? "-u" : "-i", ran, dir.path()).finished);
        const Tally r = tally(fonts);
        EXPECT_EQ(r.dangling, 0);
        EXPECT_EQ(r.unnamed, 0);
        EXPECT_EQ(r.extra, 0);
        EXPECT_EQ(r.missing, uninstall ? 60 : 0);
        rerun.dangling += r.dangling;
        rerun.unnamed += r.unnamed;
        rerun.extra += r.extra;
        if (uninstall) forgetBatch(fonts);
    }
    std::printf(
        "after the kills: %d dangling entries, %d unnamed copies; after the reruns: %d dangling, %d unnamed, "
        "%d fonts with extra copies\n",
        killed.dangling, killed.unnamed, rerun.dangling, rerun.unnamed, rerun.extra);
    EXPECT_EQ(killed.dangling, 0);
    forgetBatch(fonts);
}

// Uninstalls of 60 fonts killed at a random moment, each followed by one unrelated run (an install
// of another font): whatever the moment, no copy that no entry names and no entry naming a
// missing file (seed printed; VORLA_KILL_SEED repeats a run, VORLA_KILL_ROUNDS sets the number of
// kills).
TEST(ConvergeKill, RandomKillsOfAnUninstallAreFinishedByTheNextRun) {
    const unsigned seed = static_cast<unsigned>(
        envNumber("VORLA_KILL_SEED", static_cast<int>(GetTickCount() & 0x7fffffff)));
    const int rounds = envNumber("VORLA_KILL_ROUNDS", 3);
    std::printf("random uninstall kills: seed %u, %d rounds\n", seed, rounds);
    std::mt19937 random(seed);
    TempDir dir("cv-random-uninstall");
    const auto fonts = makeBatch(dir / "fonts", "U", 60);
    const std::string list = listFile(dir.path(), fonts, "install.json");
    // How long a whole uninstall takes: the kills fall within it.
    ASSERT_TRUE(marlet(marletExe(), "-i", list, dir.path()).finished);
    const std::string uninstallList = listFile(dir.path(), installedCopies(fonts), "uninstall.json");
    const auto whole = marlet(marletExe(), "-u", uninstallList, dir.path());
    ASSERT_TRUE(whole.finished);
    const DWORD span = static_cast<DWORD>(whole.seconds * 1000) + 1;

    int midRun = 0, recordsLeft = 0, unnamed = 0, dangling = 0;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(marlet(marletExe(), "-i", list, dir.path()).finished);
        const std::string ran = listFile(dir.path(), installedCopies(fonts), "uninstall.json");
        const DWORD delay = std::uniform_int_distribution<DWORD>(0, span)(random);
        testsupport::ChildProcess child(marletExe(), {L"-u", vorla::utf8ToWide(ran)}, dir.path(), dir / "out.txt",
                                        dir / "err.txt");
        ASSERT_TRUE(child.started());
        if (WaitForSingleObject(child.handle(), delay) == WAIT_TIMEOUT) TerminateProcess(child.handle(), 9);
        child.wait();
        const Tally k = tally(fonts);
        midRun += k.missing > 0 && k.missing < 60 ? 1 : 0;
        recordsLeft += static_cast<int>(journal::records(HKEY_CURRENT_USER).size());

        const auto other = makeBatch(dir / ("other" + std::to_string(round)), "V" + std::to_string(round), 1);
        ASSERT_TRUE(marlet(marletExe(), "-i", listFile(dir.path(), other, "other.json"), dir.path()).finished);
        const Tally r = tally(fonts);
        EXPECT_EQ(r.dangling, 0);
        EXPECT_EQ(r.unnamed, 0);
        unnamed += r.unnamed;
        dangling += r.dangling;
        forgetBatch(other);
        forgetBatch(fonts);
    }
    std::printf(
        "%d kills, %d within the uninstall, %d journal records left by them; after the unrelated runs: %d unnamed "
        "copies, %d dangling entries\n",
        rounds, midRun, recordsLeft, unnamed, dangling);
}

// Three Marlet runs and the library at once, 40 fonts each, the file names of each index shared
// by all four batches (different fonts): every entry names a copy of its own font's bytes.
TEST(ConvergeConcurrent, ThreeMarletRunsAndTheLibraryWithCollidingFileNames) {
    const int rounds = envNumber("VORLA_CONCURRENT_ROUNDS", 2);
    TempDir dir("cv-concurrent");
    int lost = 0, total = 0;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::vector<BatchFont>> batches;
        std::vector<std::string> lists;
        for (int b = 0; b < 4; ++b) {
            const std::string tag = "C" + std::to_string(round) + std::to_string(b);
            batches.push_back(makeBatch(dir / tag, tag, 40));
            lists.push_back(listFile(dir.path(), batches.back(), (tag + ".json").c_str()));
        }
        std::vector<std::unique_ptr<testsupport::ChildProcess>> runs;
        for (int b = 0; b < 3; ++b)
            runs.push_back(std::make_unique<testsupport::ChildProcess>(
                marletExe(), std::vector<std::wstring>{L"-i", vorla::utf8ToWide(lists[static_cast<size_t>(b)])},
                dir.path(), dir / ("out" + std::to_string(b) + ".txt"), dir / ("err" + std::to_string(b) + ".txt")));
        for (const BatchFont &f : batches[3]) EXPECT_EQ(installFontEntry("", f.path), Status::kDone);
        for (auto &run : runs) EXPECT_TRUE(run->wait());
        for (const auto &batch : batches) {
            const Tally t = tally(batch);
            lost += t.dangling + t.missing;
            total += static_cast<int>(batch.size());
            EXPECT_EQ(t.dangling, 0);
            EXPECT_EQ(t.missing, 0);
            EXPECT_EQ(t.unnamed, 0);
        }
        for (const auto &batch : batches) forgetBatch(batch);
    }
    std::printf("concurrent batches: %d of %d entries lost or naming another font\n", lost, total);
}
