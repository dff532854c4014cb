// Batch install and uninstall of N distinct generated fonts in one Marlet run each, against
// a baseline of the bare platform work per font (copy, registry value, font resource and
// back). The uninstall is repeated with 500 and 2000 unrelated values in the Fonts key,
// because its lookup walks every value of the key.
//
//   marlet_bench.exe <Marlet.exe> [fonts = 500]
//
// Expects a scratch prefix whose local application data is a short folder (run.sh sets it),
// so that a list of 500 installed font paths fits the 32,767-character command line.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "common/Text.h"
#include "interactive/win/FontUtil.h"
#include "support/ChildProcess.h"
#include "support/MiniFont.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const wchar_t *const kFontsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string jsonPath(const std::string &path) {
    std::string out;
    for (char c : path) {
        if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

// Only the path member, quoted as the front end quotes it.
std::string quotedList(const std::vector<std::string> &paths) {
    std::string json = "[";
    for (const auto &p : paths) {
        if (json.size() > 1) json += ",";
        json += "{\\'path\\':\\'" + jsonPath(p) + "\\'}";
    }
    return json + "]";
}

struct MarletRun {
    double seconds = 0;
    int failures = 0;  // results other than "0"
    size_t results = 0;
    size_t commandLine = 0;
};

MarletRun runMarlet(const std::wstring &marlet, const char *mode, const std::vector<std::string> &paths,
                    const fs::path &work) {
    const std::string list = quotedList(paths);
    const fs::path resultFile = work / L"result.json";
    MarletRun run;
    run.commandLine = testsupport::commandLineOf(marlet, {vorla::utf8ToWide(mode), vorla::utf8ToWide(list), L"-o",
                                                          resultFile.wstring()})
                          .size();
    const auto result = testsupport::runProgram(marlet, {vorla::utf8ToWide(mode), vorla::utf8ToWide(list), L"-o",
                                                         resultFile.wstring()},
                                                work, work, 30 * 60 * 1000);
    run.seconds = result.seconds;
    if (!result.finished || result.exitCode != 0) {
        std::printf("Marlet %s failed: exit %lu, %s\n", mode, result.exitCode, result.err.c_str());
        run.failures = -1;
        return run;
    }
    const std::string json = testsupport::readFile(resultFile);
    for (size_t at = json.find("\"code\":\""); at != std::string::npos; at = json.find("\"code\":\"", at + 1)) {
        ++run.results;
        if (json.compare(at + 8, 2, "0\"") != 0) ++run.failures;
    }
    return run;
}

struct Key {
    HKEY key = nullptr;
    Key() { RegCreateKeyExW(HKEY_CURRENT_USER, kFontsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr); }
    ~Key() { if (key) RegCloseKey(key); }
    void set(const std::wstring &name, const std::wstring &data) const {
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    void remove(const std::wstring &name) const { RegDeleteValueW(key, name.c_str()); }
    DWORD count() const {
        DWORD values = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        return values;
    }
};

// Wine lists registry values sorted by name (Windows lists them in the order written): the
// fillers sort before the benchmark's own fonts, so every lookup walks all of them.
std::wstring fillerName(int i) { return L"Aa filler " + std::to_wstring(i) + L" (TrueType)"; }

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc < 2) {
        std::printf("usage: marlet_bench.exe <Marlet.exe> [fonts]\n");
        return 2;
    }
    const std::wstring marlet = argv[1];
    const int n = argc > 2 ? std::stoi(argv[2]) : 500;
    const fs::path root = L"C:\\mb";
    const fs::path sources = root / L"s", baseline = root / L"b", baselineCopies = root / L"c";
    std::error_code ignored;
    fs::remove_all(root, ignored);
    for (const auto &dir : {sources, baseline, baselineCopies}) fs::create_directories(dir);
    const std::string stamp = std::to_string(GetTickCount64() % 1000000);

    std::vector<std::string> sourcePaths;
    std::vector<fs::path> baselineFiles;
    for (int i = 0; i < n; ++i) {
        const std::string id = std::to_string(i);
        const fs::path source = sources / (std::to_wstring(i) + L".ttf");
        testsupport::writeFile(source, sfnt::miniFont({"Marlet Bench " + stamp + " " + id, "", "", ""}));
        sourcePaths.push_back(testsupport::textOf(source));
        const fs::path other = baseline / (std::to_wstring(i) + L".ttf");
        testsupport::writeFile(other, sfnt::miniFont({"Marlet Baseline " + stamp + " " + id, "", "", ""}));
        baselineFiles.push_back(other);
    }
    const std::string userFonts = localFontsFolder();
    std::printf("fonts: %d generated (%zu bytes each); per-user fonts folder %s\n", n,
                testsupport::readFile(sources / L"0.ttf").size(), userFonts.c_str());

    Key key;
    const fs::path work = root;

    // Baseline: the bare platform work of an install and an uninstall, per font.
    auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
        const fs::path copy = baselineCopies / baselineFiles[i].filename();
        CopyFileW(baselineFiles[i].c_str(), copy.c_str(), FALSE);
        key.set(L"Marlet Baseline " + std::to_wstring(i) + L" (TrueType)", copy.wstring());
        AddFontResourceW(copy.c_str());
    }
    const double baseInstall = secondsSince(start);
    start = Clock::now();
    for (int i = 0; i < n; ++i) {
        const fs::path copy = baselineCopies / baselineFiles[i].filename();
        RemoveFontResourceW(copy.c_str());
        key.remove(L"Marlet Baseline " + std::to_wstring(i) + L" (TrueType)");
        DeleteFileW(copy.c_str());
    }
    const double baseUninstall = secondsSince(start);

    // Process start and an empty list: the fixed cost of one run.
    const MarletRun empty = runMarlet(marlet, "-i", {}, work);

    std::vector<std::string> copies;
    for (int i = 0; i < n; ++i) copies.push_back(userFonts + std::to_string(i) + ".ttf");

    std::printf("\n%-44s %10s %12s %10s\n", "step", "total s", "per font ms", "x baseline");
    auto row = [&](const char *what, double total, double base) {
        const double perFont = (total * 1000.0) / n;
        if (base > 0)
            std::printf("%-44s %10.3f %12.3f %10.2f\n", what, total, perFont, total / base);
        else
            std::printf("%-44s %10.3f %12.3f %10s\n", what, total, perFont, "");
    };
    row("baseline install (copy, RegSetValueExW, AddFontResourceW)", baseInstall, 0);
    row("baseline uninstall (RemoveFontResourceW, RegDeleteValueW, delete)", baseUninstall, 0);
    std::printf("%-44s %10.3f\n", "Marlet run with an empty list", empty.seconds);

    const int fillerCounts[] = {0, 500, 2000};
    int fillers = 0;
    for (int target : fillerCounts) {
        for (; fillers < target; ++fillers)
            key.set(fillerName(fillers), L"C:\\mb\\filler\\" + std::to_wstring(fillers) + L".ttf");
        const DWORD before = key.count();
        const MarletRun install = runMarlet(marlet, "-i", sourcePaths, work);
        const MarletRun uninstall = runMarlet(marlet, "-u", copies, work);
        char label[96];
        std::snprintf(label, sizeof label, "Marlet install, %lu values in the key before", before);
        row(label, install.seconds - empty.seconds, baseInstall);
        std::snprintf(label, sizeof label, "Marlet uninstall, %d other values in the key", static_cast<int>(before));
        row(label, uninstall.seconds - empty.seconds, baseUninstall);
        std::printf("    results: install %zu (%d not 0), uninstall %zu (%d not 0); command lines %zu / %zu chars\n",
                    install.results, install.failures, uninstall.results, uninstall.failures, install.commandLine,
                    uninstall.commandLine);
    }
    for (int i = 0; i < fillers; ++i) key.remove(fillerName(i));

    // Where the time of the core's steps goes: each step alone, n times, on the source fonts.
    std::printf("\n%-44s %12s\n", "core step alone", "per call ms");
    auto timeStep = [&](const char *what, auto &&step, int calls = 0) {
        if (calls == 0) calls = n;
        const auto begin = Clock::now();
        for (int i = 0; i < calls; ++i) step(i);
        std::printf("%-44s %12.3f\n", what, secondsSince(begin) * 1000.0 / calls);
    };
    timeStep("fileExists", [&](int i) { fileExists(sourcePaths[i]); });
    timeStep("weaklyCanonicalText", [&](int i) { weaklyCanonicalText(sourcePaths[i]); });
    timeStep("readFontFamilyName (open and read the file)", [&](int i) {
        std::ifstream in(testsupport::pathOf(sourcePaths[i]), std::ios::binary);
        readFontFamilyName(in, "cn");
    });
    timeStep("copyFileOverwrite", [&](int i) {
        copyFileOverwrite(sourcePaths[i], testsupport::textOf(baselineCopies / (std::to_wstring(i) + L".ttf")));
    });
    timeStep("broadcastFontChange", [&](int) { broadcastFontChange(); });
    for (int i = 0; i < n; ++i) key.set(fillerName(i), L"C:\\mb\\filler\\" + std::to_wstring(i) + L".ttf");
    {
        winreg::KeyHandle open;
        open.open(HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
        timeStep("KeyHandle::readString", [&](int i) {
            open.readString(vorla::wideToUtf8(fillerName(i)));
        });
        timeStep("lookup of a missing path (walks n values)", [&](int i) {
            getFontRegStringValueByPath(HKEY_CURRENT_USER, sourcePaths[i]);
        }, 10);
    }
    for (int i = 0; i < n; ++i) key.remove(fillerName(i));
    fs::remove_all(root, ignored);
    return 0;
}
