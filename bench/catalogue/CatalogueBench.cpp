// Catalogue benchmark: times getAvailableFonts (enumeration, copy-out and release) against
// CatalogueWalk.exe, a separate minimal program that makes the same per-face DirectWrite
// queries without VorlaNode, and against the system collection alone, on a collection of
// about 1,000, 10,000 and 50,000 faces. Each measured child runs in a process of its own,
// the export side in this program started again with --export; the rounds alternate the
// children.
//
// The export child makes four listings in one process, as a front end does over its life:
// the first one, the same call again with nothing changed, one after one more font was
// registered under HKLM's Fonts key (what an all-users install writes), and one after that
// entry was deleted again.
//
// usage: CatalogueBench.exe <folder for the generated fonts> [--compare <other CatalogueBench.exe>] [faces...]
//        CatalogueBench.exe --export <spare font file> <result file>   (the child side)
//
// --compare runs the export child of another build too (a CatalogueBench.exe with that build's
// VorlaNode.dll beside it), alternated with the others, so that two builds are compared in one run.
// The sizes default to 1,000, 10,000 and 50,000 faces (5 rounds at 50,000, else 7). The bulk
// are small generated fonts (one empty glyph, a family of its own each), registered under
// HKLM's Fonts key ("VorlaBench ..." values) until the collection holds the size's faces.
// Run it in a prefix of its own: the registrations stay.
#include "VorlaNode.h"
#include "common/Raii.h"
#include "interactive/win/FontUtil.h"
#include "support/MiniFont.h"

#include <windows.h>
#include <dwrite.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const wchar_t *const kSpareValue = L"VorlaBench Spare (TrueType)";

size_t countFaces() {
    size_t n = 0;
    vorla::ComPtr<IDWriteFactory> factory;
    if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                                   reinterpret_cast<IUnknown **>(factory.put()))))
        return 0;
    vorla::ComPtr<IDWriteFontCollection> collection;
    if (FAILED(factory->GetSystemFontCollection(collection.put(), TRUE))) return 0;
    for (UINT32 f = 0; f < collection->GetFontFamilyCount(); ++f) {
        vorla::ComPtr<IDWriteFontFamily> family;
        if (SUCCEEDED(collection->GetFontFamily(f, family.put()))) n += family->GetFontCount();
    }
    return n;
}

double millisSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct Timing {
    std::vector<double> runs;
    double best() const { return *std::min_element(runs.begin(), runs.end()); }
    double median() const {
        std::vector<double> t = runs;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
};

// One kind of child process. Its result file holds "<faces> <listed> <ms>..." with one time
// per phase it measures.
struct Child {
    std::wstring commandLine;
    std::vector<const char *> phases;
    std::vector<Timing> times;
    size_t faces = 0, listed = 0;
};

bool run(Child &child, const fs::path &resultFile) {
    std::error_code ec;
    fs::remove(resultFile, ec);
    std::wstring commandLine = child.commandLine + L" \"" + resultFile.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    const vorla::UniqueHandle process(info.hProcess), thread(info.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    size_t faces = 0, listed = 0;
    std::vector<double> ms(child.phases.size());
    FILE *in = _wfopen(resultFile.c_str(), L"r");
    bool read = in && std::fscanf(in, "%zu %zu", &faces, &listed) == 2;
    for (double &t : ms) read = read && std::fscanf(in, "%lf", &t) == 1;
    if (in) std::fclose(in);
    if (code != 0 || !read) {
        std::fprintf(stderr, "%s: exit code %lu, no result\n", child.phases.front(), code);
        return false;
    }
    child.times.resize(ms.size());
    for (size_t i = 0; i < ms.size(); ++i) child.times[i].runs.push_back(ms[i]);
    child.faces = faces;
    child.listed = listed;
    return true;
}

// The children run in turn, round after round and each round starting with the next one, so
// that load from other processes on the machine spreads over all of them; the best and the
// median of the rounds are reported.
void measure(const char *label, int rounds, const fs::path &self, const fs::path &other, const fs::path &spare,
             const fs::path &resultFile) {
    const std::wstring walk = L"\"" + (self.parent_path() / L"CatalogueWalk.exe").wstring() + L"\"";
    Child exportChild{L"\"" + self.wstring() + L"\" --export \"" + spare.wstring() + L"\"",
                      {"getAvailableFonts, first", "  the same again, nothing changed", "  after one font was added",
                       "  after one font was removed"},
                      {}};
    Child otherChild{L"\"" + other.wstring() + L"\" --export \"" + spare.wstring() + L"\"",
                     {"the other build, first", "  the same again, nothing changed", "  after one font was added",
                      "  after one font was removed"},
                     {}};
    Child walkChild{walk, {"lean walk"}, {}};
    Child collectionChild{walk + L" open", {"collection only"}, {}};
    std::vector<Child *> children = {&exportChild, &walkChild, &collectionChild};
    if (!other.empty()) children.push_back(&otherChild);
    const size_t count = children.size();
    for (Child *c : children)  // warm-up: file cache, wineserver
        if (!run(*c, resultFile)) return;
    for (Child *c : children) c->times.clear();
    for (int round = 0; round < rounds; ++round)
        for (size_t k = 0; k < count; ++k)
            if (!run(*children[(round + k) % count], resultFile)) return;

    const double faces = double(walkChild.faces);
    std::printf("%s: %zu faces, %zu listed by the export, %zu by the walk (%d rounds, best / median)\n", label,
                walkChild.faces, exportChild.listed, walkChild.listed, rounds);
    for (const Child *c : children)
        for (size_t i = 0; i < c->phases.size(); ++i) {
            const Timing &t = c->times[i];
            std::printf("  %-36s %9.1f / %9.1f ms   %.4f / %.4f ms per face\n", c->phases[i], t.best(), t.median(),
                        t.best() / faces, t.median() / faces);
        }
    const Timing &collection = collectionChild.times[0], &lean = walkChild.times[0];
    auto ratios = [&](const char *which, const Child &c) {
        const Timing &first = c.times[0], &again = c.times[1], &added = c.times[2];
        std::printf(
            "  %s: first / collection only %.3f / %.3f   again / first %.4f / %.4f   added / collection only "
            "%.3f / %.3f   first / lean walk %.3f / %.3f\n",
            which, first.best() / collection.best(), first.median() / collection.median(), again.best() / first.best(),
            again.median() / first.median(), added.best() / collection.best(), added.median() / collection.median(),
            first.best() / lean.best(), first.median() / lean.median());
    };
    ratios("this build", exportChild);
    if (!other.empty()) ratios("the other build", otherChild);
    std::fflush(stdout);
}

bool registerFont(HKEY key, const std::wstring &name, const fs::path &path) {
    const std::wstring data = path.wstring();
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                          DWORD((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void writeMiniFont(const fs::path &file, const std::string &family) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << sfnt::miniFont({family, "", "", ""});
}

// One timed listing through the exports, with copy-out and release; the number of records.
int timedListing(double *ms) {
    int listed = 0;
    const auto start = std::chrono::steady_clock::now();
    VorlaNode::FontData *fonts = getAvailableFonts(&listed);
    releaseFontData(fonts);
    *ms = millisSince(start);
    return listed;
}

// The child side: the four listings, the spare font registered between the second and the
// third and its entry deleted between the third and the fourth.
int exportChild(const wchar_t *spare, const wchar_t *resultFile) {
    // No log file and no console logging: the export's info lines stay out of the figures.
    VorlaNode::VorlaConfig quiet{};
    initial(&quiet);
    winreg::KeyHandle key;
    if (key.open(HKEY_LOCAL_MACHINE, kFontsKey) != ERROR_SUCCESS) return 1;
    // What an interrupted run left: the first listing must not hold the spare font.
    if (RegQueryValueExW(key.get(), kSpareValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        RegDeleteValueW(key.get(), kSpareValue);
    double first = 0, again = 0, added = 0, removed = 0;
    const int listed = timedListing(&first);
    const int listedAgain = timedListing(&again);
    if (!registerFont(key.get(), kSpareValue, spare)) return 1;
    const int listedAdded = timedListing(&added);
    RegDeleteValueW(key.get(), kSpareValue);
    const int listedRemoved = timedListing(&removed);
    if (listedAgain != listed || listedAdded != listed + 1 || listedRemoved != listed) {
        std::fprintf(stderr, "export: %d, again %d, after adding %d, after removing %d records\n", listed, listedAgain,
                     listedAdded, listedRemoved);
        return 1;
    }
    FILE *out = _wfopen(resultFile, L"w");
    if (!out) return 1;
    std::fprintf(out, "0 %d %.3f %.3f %.3f %.3f\n", listed, first, again, added, removed);
    std::fclose(out);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"--export") return exportChild(argv[2], argv[3]);
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: CatalogueBench.exe <folder for the generated fonts> [--compare <exe>] [faces...]\n");
        return 2;
    }
    const fs::path fontDir = argv[1];
    std::error_code ec;
    fs::create_directories(fontDir, ec);

    winreg::KeyHandle key;
    if (key.open(HKEY_LOCAL_MACHINE, kFontsKey) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot open the Fonts key\n");
        return 1;
    }
    wchar_t selfBuffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, selfBuffer, MAX_PATH);
    const fs::path self = selfBuffer, resultFile = fontDir / L"result.txt", spare = fontDir / L"spare.ttf";
    writeMiniFont(spare, "Vorla Bench Spare");
    std::printf("collection before registering: %zu faces\n", countFaces());

    size_t files = 0;
    auto addFiles = [&](size_t n) {
        for (size_t i = 0; i < n; ++i, ++files) {
            const std::string number = std::to_string(100000 + files).substr(1);
            const std::wstring wideNumber(number.begin(), number.end());
            const fs::path file = fontDir / (L"b" + wideNumber + L".ttf");
            writeMiniFont(file, "Vorla Bench " + number);
            registerFont(key.get(), L"VorlaBench " + wideNumber + L" (TrueType)", file);
        }
    };
    // Counting builds a whole collection: the faces per file are learnt from a first batch,
    // then each size is reached in one or two more batches.
    double facesPerFile = 0;
    auto growTo = [&](size_t target) {
        size_t faces = countFaces();
        while (faces < target) {
            if (facesPerFile == 0) {
                addFiles(100);
                const size_t after = countFaces();
                facesPerFile = std::max(1.0, double(after - faces) / 100);
                faces = after;
                continue;
            }
            addFiles(size_t(std::ceil(double(target - faces) / facesPerFile)));
            faces = countFaces();
        }
        std::printf("registered %zu generated fonts: %zu faces\n", files, faces);
    };

    // The sizes: about 1,000, 10,000 and 50,000 faces, or those given after the folder.
    int next = 2;
    fs::path other;
    if (argc > 3 && std::wstring(argv[2]) == L"--compare") other = argv[3], next = 4;
    std::vector<size_t> sizes = {1000, 10000, 50000};
    if (argc > next) sizes.clear();
    for (int i = next; i < argc; ++i) sizes.push_back(std::wcstoul(argv[i], nullptr, 10));
    for (const size_t size : sizes) {
        growTo(size);
        const std::string label = "about " + std::to_string(size) + " faces";
        measure(label.c_str(), size >= 50000 ? 5 : 7, self, other, spare, resultFile);
    }
    return 0;
}
