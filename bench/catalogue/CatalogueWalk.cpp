// The catalogue benchmark's reference: a minimal program that walks the system font
// collection with the bare DirectWrite calls a catalogue makes per face, and nothing
// else (no VorlaNode, no records, no UTF-8 conversion). Per face: the PostScript name
// ("en-us", else the first string); for a name not seen yet the face object, its
// first file's local path, the Win32 family and subfamily names ("zh-CN", then
// "en-us", then the first string), the monospace flag, style, stretch and weight.
//
// usage: CatalogueWalk.exe [open] <result file>
//   "open" creates the factory and the collection and gets every face, querying none.
// Writes "<faces> <listed> <milliseconds>" to the result file: the time of one walk, from
// the factory's creation to the release of the collection. The collection is asked for with
// the update check, as the catalogue asks for it.
#include "common/Raii.h"

#include <windows.h>
#include <dwrite_1.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

// The localized-name lookup: locale, then "en-us", then index 0. False when a query fails.
bool readName(IDWriteFont *font, DWRITE_INFORMATIONAL_STRING_ID id, const wchar_t *locale, std::wstring *out) {
    vorla::ComPtr<IDWriteLocalizedStrings> strings;
    BOOL exists = FALSE;
    if (FAILED(font->GetInformationalStrings(id, strings.put(), &exists))) return false;
    if (!exists || !strings) {
        out->clear();
        return true;
    }
    UINT32 index = 0;
    BOOL found = FALSE;
    if (FAILED(strings->FindLocaleName(locale, &index, &found))) return false;
    if (!found) {
        if (FAILED(strings->FindLocaleName(L"en-us", &index, &found))) return false;
        if (!found) index = 0;
    }
    UINT32 length = 0;
    if (FAILED(strings->GetStringLength(index, &length))) return false;
    out->assign(length + 1, L'\0');
    if (FAILED(strings->GetString(index, &(*out)[0], length + 1))) return false;
    out->resize(length);
    return true;
}

// Everything after the PostScript name. False when the face has no local file or a query fails.
bool readFace(IDWriteFont *font) {
    vorla::ComPtr<IDWriteFontFace> face;
    if (FAILED(font->CreateFontFace(face.put()))) return false;
    UINT32 count = 0;
    if (FAILED(face->GetFiles(&count, nullptr)) || count == 0) return false;
    std::vector<IDWriteFontFile *> raw(count, nullptr);
    std::vector<vorla::ComPtr<IDWriteFontFile>> files;
    files.reserve(count);
    const HRESULT hr = face->GetFiles(&count, raw.data());
    for (IDWriteFontFile *file : raw) files.push_back(vorla::ComPtr<IDWriteFontFile>::attach(file));
    if (FAILED(hr) || !files[0]) return false;

    vorla::ComPtr<IDWriteFontFileLoader> loader;
    if (FAILED(files[0]->GetLoader(loader.put()))) return false;
    const auto local = loader.query<IDWriteLocalFontFileLoader>();
    if (!local) return false;
    const void *key = nullptr;
    UINT32 keySize = 0, length = 0;
    if (FAILED(files[0]->GetReferenceKey(&key, &keySize)) ||
        FAILED(local->GetFilePathLengthFromKey(key, keySize, &length)))
        return false;
    std::wstring path(length + 1, L'\0');
    if (FAILED(local->GetFilePathFromKey(key, keySize, &path[0], length + 1))) return false;

    std::wstring family, style;
    if (!readName(font, DWRITE_INFORMATIONAL_STRING_WIN32_FAMILY_NAMES, L"zh-CN", &family) ||
        !readName(font, DWRITE_INFORMATIONAL_STRING_WIN32_SUBFAMILY_NAMES, L"zh-CN", &style))
        return false;
    const auto face1 = face.query<IDWriteFontFace1>();
    volatile bool monospace = face1 && face1->IsMonospacedFont();
    volatile int properties = int(font->GetStyle()) + int(font->GetStretch()) + int(font->GetWeight());
    (void)monospace;
    (void)properties;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: CatalogueWalk.exe [open] <result file>\n");
        return 2;
    }
    const bool openOnly = argc > 2 && std::wstring(argv[1]) == L"open";
    const wchar_t *resultFile = argv[argc - 1];
    size_t faces = 0, listed = 0;

    const auto start = std::chrono::steady_clock::now();
    {
        vorla::ComPtr<IDWriteFactory> factory;
        if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                                       reinterpret_cast<IUnknown **>(factory.put()))))
            return 1;
        vorla::ComPtr<IDWriteFontCollection> collection;
        if (FAILED(factory->GetSystemFontCollection(collection.put(), TRUE))) return 1;
        std::unordered_set<std::wstring> seen;
        const UINT32 familyCount = collection->GetFontFamilyCount();
        for (UINT32 f = 0; f < familyCount; ++f) {
            vorla::ComPtr<IDWriteFontFamily> family;
            if (FAILED(collection->GetFontFamily(f, family.put()))) continue;
            const UINT32 faceCount = family->GetFontCount();
            for (UINT32 i = 0; i < faceCount; ++i) {
                vorla::ComPtr<IDWriteFont> font;
                if (FAILED(family->GetFont(i, font.put()))) continue;
                ++faces;
                if (openOnly) continue;
                std::wstring postscriptName;
                if (!readName(font.get(), DWRITE_INFORMATIONAL_STRING_POSTSCRIPT_NAME, L"en-us", &postscriptName))
                    continue;
                if (seen.count(postscriptName) != 0) continue;
                if (!readFace(font.get())) continue;
                seen.insert(std::move(postscriptName));
                ++listed;
            }
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    FILE *out = _wfopen(resultFile, L"w");
    if (!out) return 1;
    std::fprintf(out, "%zu %zu %.3f\n", faces, listed, ms);
    std::fclose(out);
    return 0;
}
