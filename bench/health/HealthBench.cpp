// The font health check (checkFonts through VorlaNode.dll) with N font entries, against the bare work
// of the same check in this process: enumerate both Fonts keys (RegEnumValueW with name and data),
// list the per-user fonts folder (FindFirstFileExW), and open each file once and read its first
// block (CreateFileW, one 4 KiB ReadFile), the least a verdict on every file needs. Rounds alternate
// the two, each round starting with the other one.
//
//   health_bench.exe <VorlaNode.dll> [entries = 1000 10000 ...]
//
// Of N entries, nine in ten are per-user (each naming its own small font in the per-user fonts
// folder), one in ten all-users (a bare file name in the all-users fonts folder). All are healthy,
// so the check reports only what the prefix itself holds.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "Records.h"
#include "common/Text.h"
#include "support/MiniFont.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const wchar_t *const kFontsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr int kRounds = 5;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::wstring knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) out = path;
    CoTaskMemFree(path);
    return out;
}

struct Layout {
    std::wstring userFolder, machineFolder;
    std::vector<std::wstring> userValues, machineValues, files;
};

// Makes the entries up to n (keeping those made before).
void grow(Layout &layout, size_t n) {
    HKEY user = nullptr, machine = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kFontsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &user, nullptr);
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &machine, nullptr);
    for (size_t i = layout.userValues.size() + layout.machineValues.size(); i < n; ++i) {
        const bool all = i % 10 == 9;
        const std::wstring base = L"hb-" + std::to_wstring(i) + L".ttf";
        const std::wstring file = (all ? layout.machineFolder : layout.userFolder) + L"\\" + base;
        testsupport::writeFile(fs::path(file), sfnt::miniFont({"Health Bench " + std::to_string(i), "", "", ""}));
        const std::wstring name = L"Health Bench " + std::to_wstring(i) + L" (TrueType)";
        const std::wstring data = all ? base : file;
        RegSetValueExW(all ? machine : user, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        (all ? layout.machineValues : layout.userValues).push_back(name);
        layout.files.push_back(file);
    }
    RegCloseKey(user);
    RegCloseKey(machine);
}

void removeAll(const Layout &layout) {
    HKEY user = nullptr, machine = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kFontsKey, 0, KEY_ALL_ACCESS, &user);
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_ALL_ACCESS, &machine);
    for (const auto &name : layout.userValues) RegDeleteValueW(user, name.c_str());
    for (const auto &name : layout.machineValues) RegDeleteValueW(machine, name.c_str());
    RegCloseKey(user);
    RegCloseKey(machine);
    for (const auto &file : layout.files) DeleteFileW(file.c_str());
}

// Every value of the key with its data; the data texts, for the files they name.
size_t enumerate(HKEY root, std::vector<std::wstring> &data) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kFontsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD count = 0, longestName = 0, longestData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName, &longestData,
                     nullptr, nullptr);
    std::vector<wchar_t> name(longestName + 2), value(longestData / sizeof(wchar_t) + 2);
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        DWORD type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(value.data()),
                          &bytes) == ERROR_SUCCESS &&
            type == REG_SZ)
            data.emplace_back(value.data(), wcsnlen(value.data(), bytes / sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return count;
}

// The bare work: both keys, the folder, each file opened once and its first block read.
double reference(const Layout &layout, size_t &opened) {
    const auto start = Clock::now();
    std::vector<std::wstring> user, machine;
    enumerate(HKEY_CURRENT_USER, user);
    enumerate(HKEY_LOCAL_MACHINE, machine);
    std::set<std::wstring> files;
    for (const auto &d : user) files.insert(d);
    for (const auto &d : machine)
        files.insert(d.find(L'\\') == std::wstring::npos ? layout.machineFolder + L"\\" + d : d);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileExW((layout.userFolder + L"\\*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                files.insert(layout.userFolder + L"\\" + found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    opened = 0;
    std::vector<char> block(4096);
    for (const auto &file : files) {
        const HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        DWORD read = 0;
        ReadFile(h, block.data(), static_cast<DWORD>(block.size()), &read, nullptr);
        CloseHandle(h);
        ++opened;
    }
    return msSince(start);
}

using CheckFonts = VorlaNode::FontHealth *(*)(int *);
using ReleaseFontHealth = void (*)(VorlaNode::FontHealth *);

double check(CheckFonts checkFonts, ReleaseFontHealth release, int &findings) {
    const auto start = Clock::now();
    VorlaNode::FontHealth *array = checkFonts(&findings);
    const double ms = msSince(start);
    release(array);
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: health_bench.exe <VorlaNode.dll> [entries ...]\n");
        return 1;
    }
    const HMODULE dll = LoadLibraryW(argv[1]);
    const auto checkFonts = reinterpret_cast<CheckFonts>(
        reinterpret_cast<void (*)()>(GetProcAddress(dll, "checkFonts")));
    const auto release = reinterpret_cast<ReleaseFontHealth>(
        reinterpret_cast<void (*)()>(GetProcAddress(dll, "releaseFontHealth")));
    if (!checkFonts || !release) {
        std::fprintf(stderr, "no checkFonts in the library\n");
        return 1;
    }
    std::vector<size_t> sizes;
    for (int i = 2; i < argc; ++i) sizes.push_back(static_cast<size_t>(_wtoi(argv[i])));
    if (sizes.empty()) sizes = {1000, 10000};

    Layout layout;
    layout.userFolder = knownFolder(FOLDERID_LocalAppData) + L"\\Microsoft\\Windows\\Fonts";
    layout.machineFolder = knownFolder(FOLDERID_Fonts);
    fs::create_directories(fs::path(layout.userFolder));

    std::printf(
        "| Entries | Files opened | Findings | checkFonts (best / median ms) | bare work (best / median ms) | "
        "check / bare (median) | check per entry (ms) |\n|---|---|---|---|---|---|---|\n");
    for (const size_t n : sizes) {
        grow(layout, n);
        std::vector<double> checks, references;
        size_t opened = 0;
        int findings = 0;
        for (int round = 0; round < kRounds; ++round) {
            if (round % 2 == 0) {
                references.push_back(reference(layout, opened));
                checks.push_back(check(checkFonts, release, findings));
            } else {
                checks.push_back(check(checkFonts, release, findings));
                references.push_back(reference(layout, opened));
            }
        }
        const double c = median(checks), r = median(references);
        std::printf("| %zu | %zu | %d | %.1f / %.1f | %.1f / %.1f | %.2f | %.4f |\n", n, opened, findings,
                    *std::min_element(checks.begin(), checks.end()), c,
                    *std::min_element(references.begin(), references.end()), r, c / r, c / static_cast<double>(n));
        std::fflush(stdout);
    }
    removeAll(layout);
    return 0;
}
