// Catalogue benchmark: times getAvailableFonts (enumeration, copy-out and release)
// against CatalogueWalk.exe, a separate minimal program that makes the same per-face
// DirectWrite queries without VorlaNode, on a collection of about 500, then about
// 1,000 and 5,000 faces. Each measured call runs in a process of its own, the export
// in this program started again with --export, so both sides start and load alike;
// the rounds alternate the two.
//
// usage: CatalogueBench.exe <folder of source .ttf files> <folder for renamed copies>
//        CatalogueBench.exe --export <result file>   (one measured call, the child side)
//
// The source fonts are registered under HKLM's Fonts key ("VorlaBench ..."
// values) until the collection holds about 500 faces, then until it holds at
// least 1,000 and 5,000 (renamed copies of the sources are added when the sources
// alone are not enough). Run it in a prefix of its own: the registrations stay.
#include "VorlaNode.h"
#include "FontFixtures.h"
#include "common/Raii.h"
#include "interactive/win/FontUtil.h"

#include <windows.h>
#include <dwrite.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

size_t countFaces() {
    size_t n = 0;
    vorla::ComPtr<IDWriteFactory> factory;
    if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                                   reinterpret_cast<IUnknown **>(factory.put()))))
        return 0;
    vorla::ComPtr<IDWriteFontCollection> collection;
    if (FAILED(factory->GetSystemFontCollection(collection.put(), FALSE))) return 0;
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

// One measured call in a process of its own. work: the time the child measured around
// its call; process: from CreateProcess to the child's exit, start-up included.
struct Child {
    const wchar_t *label;
    std::wstring commandLine;
    Timing work, process;
    size_t faces = 0, listed = 0;
};

bool run(Child &child, const fs::path &resultFile) {
    std::error_code ec;
    fs::remove(resultFile, ec);
    std::wstring commandLine = child.commandLine + L" \"" + resultFile.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    const vorla::UniqueHandle process(info.hProcess), thread(info.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    const double wall = millisSince(start);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    double work = 0;
    size_t faces = 0, listed = 0;
    FILE *in = _wfopen(resultFile.c_str(), L"r");
    const bool read = in && std::fscanf(in, "%lf %zu %zu", &work, &faces, &listed) == 3;
    if (in) std::fclose(in);
    if (code != 0 || !read) {
        std::fwprintf(stderr, L"%ls: exit code %lu, no result\n", child.label, code);
        return false;
    }
    child.work.runs.push_back(work);
    child.process.runs.push_back(wall);
    child.faces = faces;
    child.listed = listed;
    return true;
}

// The children run in turn, round after round and each round starting with the next
// one, so that load from other processes on the machine spreads over all of them; the
// best and the median of the rounds are reported.
void measure(const char *label, const fs::path &self, const fs::path &resultFile) {
    constexpr int kRounds = 7;
    const std::wstring walk = L"\"" + (self.parent_path() / L"CatalogueWalk.exe").wstring() + L"\"";
    Child children[] = {
        {L"getAvailableFonts", L"\"" + self.wstring() + L"\" --export", {}, {}},
        {L"lean walk", walk, {}, {}},
        {L"collection only", walk + L" open", {}, {}},
    };
    constexpr int kChildren = 3;
    for (Child &c : children)  // warm-up: file cache, wineserver
        if (!run(c, resultFile)) return;
    for (Child &c : children) c.work.runs.clear(), c.process.runs.clear();
    for (int round = 0; round < kRounds; ++round)
        for (int k = 0; k < kChildren; ++k)
            if (!run(children[(round + k) % kChildren], resultFile)) return;

    const Child &exportC = children[0], &walkC = children[1];
    const double faces = double(walkC.faces);
    std::printf(
        "%s: %zu faces, %zu listed by the export, %zu by the walk (%d rounds, one call per process: best / "
        "median)\n",
        label, walkC.faces, exportC.listed, walkC.listed, kRounds);
    for (const Child &c : children)
        std::printf("  %-28ls work %8.1f / %8.1f ms (%.3f / %.3f ms per face)   process %8.1f / %8.1f ms\n", c.label,
                    c.work.best(), c.work.median(), c.work.best() / faces, c.work.median() / faces, c.process.best(),
                    c.process.median());
    std::printf("  ratio export / lean walk     work %.3f / %.3f   process %.3f / %.3f\n",
                exportC.work.best() / walkC.work.best(), exportC.work.median() / walkC.work.median(),
                exportC.process.best() / walkC.process.best(), exportC.process.median() / walkC.process.median());
    std::fflush(stdout);
}

// The child side: one getAvailableFonts call with copy-out and release, timed.
int exportOnce(const wchar_t *resultFile) {
    // No log file and no console logging: the export's info lines stay out of the figures.
    VorlaNode::VorlaConfig quiet{};
    initial(&quiet);
    int listed = 0;
    const auto start = std::chrono::steady_clock::now();
    VorlaNode::FontData *fonts = getAvailableFonts(&listed);
    releaseFontData(fonts);
    const double ms = millisSince(start);
    FILE *out = _wfopen(resultFile, L"w");
    if (!out) return 1;
    std::fprintf(out, "%.3f 0 %d\n", ms, listed);
    std::fclose(out);
    return 0;
}

bool registerFont(HKEY key, const std::wstring &name, const std::wstring &path) {
    return RegSetValueExW(key, (L"VorlaBench " + name + L" (TrueType)").c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE *>(path.c_str()),
                          DWORD((path.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::string readAll(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--export") return exportOnce(argv[2]);
    if (argc < 3) {
        std::fprintf(stderr, "usage: CatalogueBench.exe <source font folder> <copy folder>\n");
        return 2;
    }
    const fs::path sourceDir = argv[1], copyDir = argv[2];
    std::vector<fs::path> sources;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(sourceDir, ec))
        if (entry.path().extension() == L".ttf") sources.push_back(entry.path());
    std::sort(sources.begin(), sources.end());
    if (sources.empty()) {
        std::fprintf(stderr, "no .ttf files in the source folder\n");
        return 2;
    }
    fs::create_directories(copyDir, ec);

    winreg::KeyHandle key;
    if (key.open(HKEY_LOCAL_MACHINE, kFontsKey) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot open the Fonts key\n");
        return 1;
    }
    wchar_t selfBuffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, selfBuffer, MAX_PATH);
    const fs::path self = selfBuffer, resultFile = copyDir / L"result.txt";
    std::printf("collection before registering: %zu faces\n", countFaces());

    size_t next = 0, copies = 0;
    auto growTo = [&](size_t target) {
        size_t faces = countFaces();
        // Counting builds a whole collection: count after every fifth file.
        while (faces < target && next < sources.size()) {
            registerFont(key.get(), sources[next].stem().wstring(), sources[next].wstring());
            ++next;
            if (next % 5 == 0 || next == sources.size()) faces = countFaces();
        }
        // Renamed copies of the regular sources once the sources are used up.
        size_t copy = 0;
        while (faces < target && copy < 200000) {
            const fs::path &base = sources[copy % sources.size()];
            ++copy;
            if (base.stem().wstring().find(L"-Regular") == std::wstring::npos) continue;
            const std::wstring tag = L"Copy" + std::to_wstring(copy);
            const fs::path copyFile = copyDir / (base.stem().wstring() + L"-" + tag + L".ttf");
            std::u16string family(u"Vorla Bench ");
            for (wchar_t c : base.stem().wstring() + tag) family.push_back(char16_t(c));
            FontFixtures::FontEdits edits;
            FontFixtures::addNames(edits, FontFixtures::kEnUs, family, u"Regular");
            std::u16string ps;
            for (char16_t c : family)
                if (c != u' ') ps.push_back(c);
            edits.names.push_back({FontFixtures::kEnUs, FontFixtures::kPostScriptId, ps + u"-Regular"});
            try {
                std::ofstream(copyFile, std::ios::binary | std::ios::trunc)
                    << FontFixtures::renameFont(readAll(base), edits);
            } catch (const std::exception &e) {
                continue;
            }
            registerFont(key.get(), copyFile.stem().wstring(), copyFile.wstring());
            ++copies;
            // Each copy is one more face: count after every 50th.
            if (copies % 50 == 0) faces = countFaces();
        }
        return faces;
    };

    auto report = [&](size_t faces) {
        std::printf("registered %zu source files and %zu renamed copies: %zu faces\n", next, copies, faces);
    };
    report(growTo(500));
    measure("about 500 faces", self, resultFile);
    report(growTo(1000));
    measure("about 1000 faces", self, resultFile);
    report(growTo(5000));
    measure("about 5000 faces", self, resultFile);
    return 0;
}
