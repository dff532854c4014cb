// Catalogue benchmark: times getAvailableFonts (enumeration, copy-out and
// release) against a bare DirectWrite walk that makes the same queries without
// building records, on a collection of about 500, then about 1,000 and 5,000 faces.
//
// usage: CatalogueBench.exe <folder of source .ttf files> <folder for renamed copies>
//
// The source fonts are registered under HKLM's Fonts key ("VorlaBench ..."
// values) until the collection holds about 500 faces, then until it holds at
// least 1,000 (renamed copies of the sources are added when the sources alone
// are not enough). Run it in a prefix of its own: the registrations stay.
#include "VorlaNode.h"
#include "FontFixtures.h"
#include "common/Raii.h"
#include "interactive/win/FontUtil.h"

#include <windows.h>
#include <dwrite_1.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>


namespace {

namespace fs = std::filesystem;

// The per-face queries of the catalogue, without records: path, three names,
// monospace, style, stretch, weight. Returns false when a query fails.
bool queryName(IDWriteFont *font, DWRITE_INFORMATIONAL_STRING_ID id, const wchar_t *locale, std::wstring *out) {
    vorla::ComPtr<IDWriteLocalizedStrings> strings;
    BOOL exists = FALSE;
    if (FAILED(font->GetInformationalStrings(id, strings.put(), &exists))) return false;
    if (!exists) {
        out->clear();
        return true;
    }
    UINT32 index = 0;
    BOOL found = FALSE;
    if (FAILED(strings->FindLocaleName(locale, &index, &found))) return false;
    if (!found && (FAILED(strings->FindLocaleName(L"en-us", &index, &found)) || !found)) index = 0;
    UINT32 length = 0;
    if (FAILED(strings->GetStringLength(index, &length))) return false;
    out->assign(length + 1, L'\0');
    if (FAILED(strings->GetString(index, &(*out)[0], length + 1))) return false;
    out->resize(length);
    return true;
}

bool queryFace(IDWriteFont *font) {
    vorla::ComPtr<IDWriteFontFace> face;
    if (FAILED(font->CreateFontFace(face.put()))) return false;
    UINT32 count = 0;
    if (FAILED(face->GetFiles(&count, nullptr)) || count == 0) return false;
    std::vector<IDWriteFontFile *> raw(count, nullptr);
    std::vector<vorla::ComPtr<IDWriteFontFile>> files;
    files.reserve(count);
    HRESULT hr = face->GetFiles(&count, raw.data());
    for (IDWriteFontFile *f : raw) files.push_back(vorla::ComPtr<IDWriteFontFile>::attach(f));
    bool ok = SUCCEEDED(hr) && files[0];
    if (ok) {
        vorla::ComPtr<IDWriteFontFileLoader> loader;
        vorla::ComPtr<IDWriteLocalFontFileLoader> local;
        const void *key = nullptr;
        UINT32 keySize = 0, length = 0;
        ok = SUCCEEDED(files[0]->GetLoader(loader.put())) &&
             SUCCEEDED(loader->QueryInterface(__uuidof(IDWriteLocalFontFileLoader), local.putVoid())) &&
             SUCCEEDED(files[0]->GetReferenceKey(&key, &keySize)) &&
             SUCCEEDED(local->GetFilePathLengthFromKey(key, keySize, &length));
        if (ok) {
            std::wstring path(length + 1, L'\0');
            ok = SUCCEEDED(local->GetFilePathFromKey(key, keySize, &path[0], length + 1));
        }
    }
    if (!ok) return false;
    std::wstring family, style;
    if (!queryName(font, DWRITE_INFORMATIONAL_STRING_WIN32_FAMILY_NAMES, L"zh-CN", &family)) return false;
    if (!queryName(font, DWRITE_INFORMATIONAL_STRING_WIN32_SUBFAMILY_NAMES, L"zh-CN", &style)) return false;
    vorla::ComPtr<IDWriteFontFace1> face1;
    volatile bool mono = SUCCEEDED(face->QueryInterface(__uuidof(IDWriteFontFace1), face1.putVoid())) &&
                         face1->IsMonospacedFont();
    volatile int props = int(font->GetStyle()) + int(font->GetStretch()) + int(font->GetWeight());
    (void)mono;
    (void)props;
    return true;
}

struct WalkResult {
    size_t faces = 0;     // faces in the collection
    size_t distinct = 0;  // distinct PostScript names
    size_t queried = 0;   // faces whose queries were made
};

enum class Walk {
    OpenOnly,   // factory, collection, families and faces: no per-face query
    EveryFace,  // every face queried (the plain walk)
    FirstFaces  // the PostScript name first, the rest only for a name not seen yet
};

WalkResult walk(Walk mode) {
    WalkResult r;
    vorla::ComPtr<IDWriteFactory> factory;
    if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                                   reinterpret_cast<IUnknown **>(factory.put()))))
        return r;
    vorla::ComPtr<IDWriteFontCollection> collection;
    if (FAILED(factory->GetSystemFontCollection(collection.put(), FALSE))) return r;
    std::unordered_set<std::wstring> seen;
    for (UINT32 f = 0; f < collection->GetFontFamilyCount(); ++f) {
        vorla::ComPtr<IDWriteFontFamily> family;
        if (FAILED(collection->GetFontFamily(f, family.put()))) continue;
        for (UINT32 i = 0; i < family->GetFontCount(); ++i) {
            vorla::ComPtr<IDWriteFont> font;
            if (FAILED(family->GetFont(i, font.put()))) continue;
            ++r.faces;
            if (mode == Walk::OpenOnly) continue;
            std::wstring ps;
            if (!queryName(font.get(), DWRITE_INFORMATIONAL_STRING_POSTSCRIPT_NAME, L"en-us", &ps)) continue;
            const bool fresh = seen.insert(ps).second;
            if (mode == Walk::FirstFaces && !fresh) continue;
            ++r.queried;
            queryFace(font.get());
        }
    }
    r.distinct = seen.size();
    return r;
}

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

double millis(const std::function<void()> &fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
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

// The variants run in turn, round after round, so that load from other processes on the
// machine spreads over all of them; the best and the median of the rounds are reported.
void measure(const char *label) {
    constexpr int kRounds = 7;
    int listed = 0;
    WalkResult all, firsts, opened;
    Timing exportT, bareT, firstsT, openT;
    const std::function<void()> variants[] = {
        [&] {
            VorlaNode::FontData *fonts = getAvailableFonts(&listed);
            releaseFontData(fonts);
        },
        [&] { all = walk(Walk::EveryFace); },
        [&] { firsts = walk(Walk::FirstFaces); },
        [&] { opened = walk(Walk::OpenOnly); },
    };
    Timing *timings[] = {&exportT, &bareT, &firstsT, &openT};
    for (const auto &v : variants) v();  // warm-up
    for (int round = 0; round < kRounds; ++round)
        for (int i = 0; i < 4; ++i) timings[i]->runs.push_back(millis(variants[i]));

    const double faces = double(all.faces);
    std::printf("%s: %zu faces, %zu distinct PostScript names, %d listed (%d rounds: best / median)\n", label,
                all.faces, all.distinct, listed, kRounds);
    auto row = [&](const char *what, const Timing &t) {
        std::printf("  %-50s %8.1f / %8.1f ms  (%.3f / %.3f ms per face)\n", what, t.best(), t.median(),
                    t.best() / faces, t.median() / faces);
    };
    row("getAvailableFonts (enumerate, copy out, release)", exportT);
    row("bare walk, every face queried", bareT);
    row("bare walk, first face of each PostScript name", firstsT);
    row("collection opened and walked, no face queried", openT);
    std::printf("  ratio export / bare walk (every face)              %.3f / %.3f\n", exportT.best() / bareT.best(),
                exportT.median() / bareT.median());
    std::printf("  ratio export / bare walk (first faces, same work)  %.3f / %.3f\n",
                exportT.best() / firstsT.best(), exportT.median() / firstsT.median());
    std::fflush(stdout);
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
    // No log file and no console logging: the export's info lines stay out of the figures.
    VorlaNode::VorlaConfig quiet{};
    initial(&quiet);
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
            const fs::path target = copyDir / (base.stem().wstring() + L"-" + tag + L".ttf");
            std::u16string family(u"Vorla Bench ");
            for (wchar_t c : base.stem().wstring() + tag) family.push_back(char16_t(c));
            FontFixtures::FontEdits edits;
            FontFixtures::addNames(edits, FontFixtures::kEnUs, family, u"Regular");
            std::u16string ps;
            for (char16_t c : family)
                if (c != u' ') ps.push_back(c);
            edits.names.push_back({FontFixtures::kEnUs, FontFixtures::kPostScriptId, ps + u"-Regular"});
            try {
                std::ofstream(target, std::ios::binary | std::ios::trunc) << FontFixtures::renameFont(readAll(base), edits);
            } catch (const std::exception &e) {
                continue;
            }
            registerFont(key.get(), target.stem().wstring(), target.wstring());
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
    measure("about 500 faces");
    report(growTo(1000));
    measure("about 1000 faces");
    report(growTo(5000));
    measure("about 5000 faces");
    return 0;
}
