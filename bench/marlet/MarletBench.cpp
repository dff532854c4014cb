// Batch install and uninstall of N distinct generated fonts in one Marlet run each, and one
// uninstallFont call through VorlaNode.dll, with 0, 500 and 2,000 other values in the Fonts
// key (each naming an existing small file). Every measurement is alternated with its
// reference, the bare platform work of the same fonts in this process:
//   install:   CopyFileW, RegSetValueExW, AddFontResourceW, one WM_FONTCHANGE post per font;
//   uninstall: RemoveFontResourceW, RegDeleteValueW, DeleteFileW, one WM_FONTCHANGE post per font;
//   one uninstall after another program changed the key: the same, after reading every value
//   of the key once (RegEnumValueW with name and data), which a lookup by path cannot avoid.
//
//   marlet_bench.exe <Marlet.exe> <VorlaNode.dll> [fonts = 500] [--list-file]
//
// --list-file hands Marlet its list as "@<file>" (a UTF-8 file holding the list text); a list
// longer than the command line allows goes that way in any case.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Records.h"
#include "common/Text.h"
#include "support/ChildProcess.h"
#include "support/MiniFont.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const wchar_t *const kFontsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr size_t kCommandLineLimit = 32767;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The list as the front end passes it (each double quote as backslash-apostrophe), path members only.
std::string quotedList(const std::vector<std::wstring> &paths) {
    std::string json = "[";
    for (const auto &p : paths) {
        std::string path;
        for (char c : vorla::wideToUtf8(p)) path += c == '\\' ? std::string("\\\\") : std::string(1, c);
        json += std::string(json.size() > 1 ? "," : "") + "{\\'path\\':\\'" + path + "\\'}";
    }
    return json + "]";
}

struct MarletRun {
    double seconds = 0;
    size_t results = 0, failures = 0;
    bool listFile = false;
};

MarletRun runMarlet(const std::wstring &marlet, const wchar_t *mode, const std::vector<std::wstring> &paths,
                    const fs::path &work, bool listFile) {
    std::wstring list = vorla::utf8ToWide(quotedList(paths));
    const fs::path resultFile = work / L"result.json";
    MarletRun run;
    if (listFile ||
        testsupport::commandLineOf(marlet, {mode, list, L"-o", resultFile.wstring()}).size() >= kCommandLineLimit) {
        testsupport::writeFile(work / L"list.json", vorla::wideToUtf8(list));
        list = L"@" + (work / L"list.json").wstring();
        run.listFile = true;
    }
    // As the bridge does: the result file exists, empty, before the start (Marlet writes no other).
    testsupport::writeFile(resultFile, "");
    const auto result = testsupport::runProgram(marlet, {mode, list, L"-o", resultFile.wstring()}, work, work,
                                                60 * 60 * 1000);
    run.seconds = result.seconds;
    if (!result.finished || result.exitCode != 0) {
        std::printf("Marlet %ls failed: exit %lu, %s\n", mode, result.exitCode, result.err.c_str());
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
    ~Key() {
        if (key) RegCloseKey(key);
    }
    void set(const std::wstring &name, const std::wstring &data) const {
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    void remove(const std::wstring &name) const { RegDeleteValueW(key, name.c_str()); }
    // The least a lookup by path must do once the key changed: read every value's name and
    // data, one RegEnumValueW each (the registry has no index by data). Returns the count.
    size_t enumerate() const {
        DWORD count = 0, longestName = 0, longestData = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName, &longestData,
                         nullptr, nullptr);
        std::vector<wchar_t> name(longestName + 1);
        std::vector<BYTE> data(longestData + sizeof(wchar_t));
        size_t read = 0;
        for (DWORD i = 0; i < count; ++i) {
            DWORD nameLength = static_cast<DWORD>(name.size()), dataBytes = static_cast<DWORD>(data.size()), type = 0;
            if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataBytes) ==
                ERROR_SUCCESS)
                ++read;
        }
        return read;
    }
};

// Wine lists values sorted by name: the others sort before the benchmark's fonts, so a walk
// of the key in index order meets all of them first.
std::wstring otherName(int i) { return L"Aa other " + std::to_wstring(i) + L" (TrueType)"; }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc < 3) {
        std::printf("usage: marlet_bench.exe <Marlet.exe> <VorlaNode.dll> [fonts] [--list-file]\n");
        return 2;
    }
    const std::wstring marlet = argv[1];
    const int n = argc > 3 ? std::stoi(argv[3]) : 500;
    const bool listFile = argc > 4 && std::wstring(argv[4]) == L"--list-file";
    // The 16 single-call rounds below take their fonts from the batch.
    if (n < 16) {
        std::printf("marlet_bench.exe: at least 16 fonts\n");
        return 2;
    }

    HMODULE library = LoadLibraryW(argv[2]);
    using FontCall = int (*)(VorlaNode::FontForm *);
    auto installFont = reinterpret_cast<FontCall>(reinterpret_cast<void (*)()>(GetProcAddress(library, "installFont")));
    auto uninstallFont = reinterpret_cast<FontCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "uninstallFont")));
    if (!installFont || !uninstallFont) {
        std::printf("cannot load the library's exports\n");
        return 2;
    }

    const fs::path root = L"C:\\mb";
    const fs::path sources = root / L"s", refSources = root / L"r", refCopies = root / L"c", others = root / L"o";
    std::error_code ignored;
    fs::remove_all(root, ignored);
    for (const auto &dir : {sources, refSources, refCopies, others}) fs::create_directories(dir);
    const std::string stamp = std::to_string(GetTickCount64() % 1000000);

    std::vector<std::wstring> sourcePaths, refFiles, copies;
    wchar_t localData[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, localData, CSIDL_LOCAL_APPDATA, FALSE);
    const std::wstring userFonts = std::wstring(localData) + L"\\Microsoft\\Windows\\Fonts\\";
    for (int i = 0; i < n; ++i) {
        const std::wstring file = std::to_wstring(i) + L".ttf";
        testsupport::writeFile(sources / file,
                               sfnt::miniFont({"Marlet Bench " + stamp + " " + std::to_string(i), "", "", ""}));
        testsupport::writeFile(refSources / file,
                               sfnt::miniFont({"Marlet Ref " + stamp + " " + std::to_string(i), "", "", ""}));
        sourcePaths.push_back((sources / file).wstring());
        refFiles.push_back(file);
        copies.push_back(userFonts + file);
    }
    std::printf("fonts: %d generated; per-user fonts folder %ls; list %s\n", n, userFonts.c_str(),
                listFile ? "as @file" : "on the command line (as @file when too long)");

    Key key;
    const auto refInstall = [&] {
        const auto start = Clock::now();
        for (int i = 0; i < n; ++i) {
            const std::wstring copy = (refCopies / refFiles[i]).wstring();
            CopyFileW((refSources / refFiles[i]).c_str(), copy.c_str(), FALSE);
            key.set(L"Marlet Ref " + std::to_wstring(i) + L" (TrueType)", copy);
            AddFontResourceW(copy.c_str());
            PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
        }
        return secondsSince(start);
    };
    const auto refUninstall = [&] {
        const auto start = Clock::now();
        for (int i = 0; i < n; ++i) {
            const std::wstring copy = (refCopies / refFiles[i]).wstring();
            RemoveFontResourceW(copy.c_str());
            key.remove(L"Marlet Ref " + std::to_wstring(i) + L" (TrueType)");
            DeleteFileW(copy.c_str());
            PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
        }
        return secondsSince(start);
    };

    std::printf("\n%-6s | %-28s | %-28s | %-9s | %-26s | %-26s\n", "others", "install ms/font Marlet / ref",
                "uninstall ms/font Marlet / ref", "u/i batch", "uninstallFont ms lib / ref",
                "after a change: lib / ref");
    int filled = 0;
    for (int target : {0, 500, 2000}) {
        for (; filled < target; ++filled) {
            const fs::path file = others / (std::to_wstring(filled) + L".ttf");
            testsupport::writeFile(file, "x");
            key.set(otherName(filled), file.wstring());
        }
        const MarletRun empty = runMarlet(marlet, L"-i", {}, root, listFile);
        const double ri = refInstall();
        const MarletRun install = runMarlet(marlet, L"-i", sourcePaths, root, listFile);
        const double ru = refUninstall();
        const MarletRun uninstall = runMarlet(marlet, L"-u", copies, root, listFile);
        const double mi = install.seconds - empty.seconds, mu = uninstall.seconds - empty.seconds;

        // One uninstallFont through the library, alternated with the bare steps of one font.
        // Odd rounds first change the key behind the library's back (as Marlet or another
        // program would), so that the call reads the key afresh.
        std::vector<double> lib, libAfterChange, ref, refAfterChange;
        for (int round = 0; round < 16; ++round) {
            std::string path = vorla::wideToUtf8(sourcePaths[round]);
            VorlaNode::FontForm form{};
            form.path = path.data();
            installFont(&form);
            std::string copy = vorla::wideToUtf8(copies[round]);
            form.path = copy.data();
            if (round % 2) key.set(L"Aa touched (TrueType)", std::to_wstring(round));
            auto start = Clock::now();
            const int status = uninstallFont(&form);
            (round % 2 ? libAfterChange : lib).push_back(secondsSince(start) * 1000.0);
            if (status != 0) std::printf("uninstallFont: %d\n", status);
            const std::wstring refCopy = (refCopies / refFiles[round]).wstring();
            CopyFileW((refSources / refFiles[round]).c_str(), refCopy.c_str(), FALSE);
            key.set(L"Marlet Ref one (TrueType)", refCopy);
            AddFontResourceW(refCopy.c_str());
            // The reference after a change also reads the whole key once.
            start = Clock::now();
            if (round % 2) key.enumerate();
            RemoveFontResourceW(refCopy.c_str());
            key.remove(L"Marlet Ref one (TrueType)");
            DeleteFileW(refCopy.c_str());
            PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
            (round % 2 ? refAfterChange : ref).push_back(secondsSince(start) * 1000.0);
        }
        std::printf("%-6d | %12.3f / %-13.3f | %12.3f / %-13.3f | %9.2f | %10.3f / %-13.3f | %10.3f / %-13.3f\n",
                    target, mi * 1000 / n, ri * 1000 / n, mu * 1000 / n, ru * 1000 / n, mu / mi, median(lib),
                    median(ref), median(libAfterChange), median(refAfterChange));
        std::printf("        results: install %zu (%zu not 0), uninstall %zu (%zu not 0); list %s; empty run %.3f s\n",
                    install.results, install.failures, uninstall.results, uninstall.failures,
                    install.listFile || uninstall.listFile ? "as @file" : "on the command line", empty.seconds);
    }
    for (int i = 0; i < filled; ++i) key.remove(otherName(i));
    key.remove(L"Aa touched (TrueType)");
    fs::remove_all(root, ignored);
    return 0;
}
