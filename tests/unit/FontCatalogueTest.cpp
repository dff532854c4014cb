// The catalogue against the fixture fonts that the test prefix registers under
// HKLM (MakeCatalogueFonts), plus the DejaVu faces Wine finds through fontconfig.
#include "fontmanager/FontManager.h"

#include "support/CatalogueFixtures.h"
#include "common/Raii.h"
#include "common/Text.h"

#include <dwrite_3.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

using FontManager::FontDescriptor;
using FontManager::FontList;

std::unique_ptr<FontList> listFonts(
    const std::string &locale,
    FontManager::FontManagerImpl::Lookup lookup = FontManager::FontManagerImpl::Lookup::FaceReferences) {
    std::unique_ptr<FontList> list;
    EXPECT_EQ(S_OK, FontManager::FontManagerImpl(lookup).getAvailableFonts(&list, locale));
    EXPECT_TRUE(list);
    return list;
}

const FontDescriptor *byPostScript(const FontList &list, const std::string &name) {
    for (const auto &d : list)
        if (d->postscriptName == name) return d.get();
    return nullptr;
}

std::string fixturePath(const char *file) { return std::string(CatalogueFixtures::kFolder) + file; }

struct Expected {
    const char *postscriptName;
    std::string path;
    const char *familyZh;  // family with the default language
    const char *familyEn;  // family with language "en-us"
    const char *style;     // the same in both
    int weight, width;
    bool italic, monospace;
};

std::vector<Expected> expectations() {
    const std::string dejavu = CatalogueFixtures::kDejaVuFolder;
    return {
        {"VorlaSong-Regular", fixturePath("VorlaSong.ttf"), "维拉宋体", "Vorla Song", "常规", 400, 5, false, false},
        {"VorlaSong-Italic", fixturePath("VorlaSongItalic.ttf"), "维拉宋体", "Vorla Song", "斜体", 400, 5, true, false},
        {"VorlaSlant-Oblique", fixturePath("VorlaSlant.ttf"), "Vorla Slant", "Vorla Slant", "Oblique", 400, 5, false,
         false},
        {"VorlaMono-Bold", fixturePath("VorlaMono.ttf"), "Vorla Mono", "Vorla Mono", "Bold", 700, 5, false, true},
        // Only German and French names: the first of each set.
        {"VorlaGlot-Standard", fixturePath("VorlaGlot.ttf"), "Vorla Deutsch", "Vorla Deutsch", "Standard", 400, 4,
         false, false},
        // Two faces of one collection file.
        {"VorlaPair-Regular", fixturePath("VorlaPair.ttc"), "Vorla Pair", "Vorla Pair", "Regular", 400, 5, false,
         false},
        {"VorlaPair-Bold", fixturePath("VorlaPair.ttc"), "Vorla Pair", "Vorla Pair", "Bold", 700, 5, false, false},
        // Real faces found through fontconfig.
        {"DejaVuSansMono", dejavu + "DejaVuSansMono.ttf", "DejaVu Sans Mono", "DejaVu Sans Mono", "Book", 400, 5, false,
         true},
        {"DejaVuSans-Oblique", dejavu + "DejaVuSans-Oblique.ttf", "DejaVu Sans", "DejaVu Sans", "Oblique", 400, 5,
         false, false},
        {"DejaVuSerif-Italic", dejavu + "DejaVuSerif-Italic.ttf", "DejaVu Serif", "DejaVu Serif", "Italic", 400, 5,
         true, false},
        {"DejaVuSansCondensed-Bold", dejavu + "DejaVuSansCondensed-Bold.ttf", "DejaVu Sans Condensed",
         "DejaVu Sans Condensed", "Bold", 700, 4, false, false},
    };
}

TEST(FontCatalogue, ListsEachFixtureFaceWithItsFileNamesAndStyle) {
    const auto zh = listFonts("zh-CN");
    const auto en = listFonts("en-us");
    for (const Expected &e : expectations()) {
        SCOPED_TRACE(e.postscriptName);
        const FontDescriptor *d = byPostScript(*zh, e.postscriptName);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(e.path, d->path);
        EXPECT_EQ(e.familyZh, d->family);
        EXPECT_EQ(e.style, d->style);
        EXPECT_EQ(e.weight, d->weight);
        EXPECT_EQ(e.width, d->width);
        EXPECT_EQ(e.italic, d->italic);
        EXPECT_EQ(e.monospace, d->monospace);
        const FontDescriptor *english = byPostScript(*en, e.postscriptName);
        ASSERT_NE(nullptr, english);
        EXPECT_EQ(e.familyEn, english->family);
        EXPECT_EQ(e.style, english->style) << "style names are looked up in zh-CN first";
    }
}

TEST(FontCatalogue, UnknownLanguageFallsBackToEnglishFamilyNames) {
    const auto list = listFonts("ja-JP");
    const FontDescriptor *song = byPostScript(*list, "VorlaSong-Regular");
    ASSERT_NE(nullptr, song);
    EXPECT_EQ("Vorla Song", song->family);
    const FontDescriptor *glot = byPostScript(*list, "VorlaGlot-Standard");
    ASSERT_NE(nullptr, glot);
    EXPECT_EQ("Vorla Deutsch", glot->family);
}

// Every PostScript name of the collection, and the file of its first face in
// collection order, read with plain DirectWrite calls.
std::map<std::string, std::string> firstFileOfEachPostScriptName() {
    std::map<std::string, std::string> first;
    vorla::ComPtr<IDWriteFactory> factory;
    EXPECT_EQ(S_OK, DWriteCreateFactory(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                                        reinterpret_cast<IUnknown **>(factory.put())));
    vorla::ComPtr<IDWriteFontCollection> collection;
    EXPECT_EQ(S_OK, factory->GetSystemFontCollection(collection.put(), FALSE));
    for (UINT32 f = 0; f < collection->GetFontFamilyCount(); ++f) {
        vorla::ComPtr<IDWriteFontFamily> family;
        EXPECT_EQ(S_OK, collection->GetFontFamily(f, family.put()));
        for (UINT32 i = 0; i < family->GetFontCount(); ++i) {
            vorla::ComPtr<IDWriteFont> font;
            EXPECT_EQ(S_OK, family->GetFont(i, font.put()));
            std::string name;
            vorla::ComPtr<IDWriteLocalizedStrings> names;
            BOOL exists = FALSE;
            font->GetInformationalStrings(DWRITE_INFORMATIONAL_STRING_POSTSCRIPT_NAME, names.put(), &exists);
            if (exists) {
                wchar_t text[256] = {};
                names->GetString(0, text, 256);
                name = vorla::wideToUtf8(text);
            }
            if (first.count(name)) continue;
            vorla::ComPtr<IDWriteFontFace> face;
            font->CreateFontFace(face.put());
            IDWriteFontFile *fileRaw = nullptr;
            UINT32 files = 1;
            face->GetFiles(&files, &fileRaw);
            vorla::ComPtr<IDWriteFontFile> file = vorla::ComPtr<IDWriteFontFile>::attach(fileRaw);
            vorla::ComPtr<IDWriteFontFileLoader> loader;
            file->GetLoader(loader.put());
            vorla::ComPtr<IDWriteLocalFontFileLoader> local;
            loader->QueryInterface(__uuidof(IDWriteLocalFontFileLoader), local.putVoid());
            const void *key = nullptr;
            UINT32 keySize = 0;
            file->GetReferenceKey(&key, &keySize);
            wchar_t path[MAX_PATH] = {};
            local->GetFilePathFromKey(key, keySize, path, MAX_PATH);
            first[name] = vorla::wideToUtf8(path);
        }
    }
    return first;
}

TEST(FontCatalogue, ListsEachPostScriptNameOnceWithItsFirstFace) {
    const auto list = listFonts("zh-CN");
    const auto first = firstFileOfEachPostScriptName();
    std::map<std::string, std::string> listed;
    for (const auto &d : *list) {
        EXPECT_TRUE(listed.emplace(d->postscriptName, d->path).second) << "listed twice: " << d->postscriptName;
    }
    EXPECT_EQ(first, listed);
    // The fixtures: two files named VorlaTwin, two without a PostScript name.
    ASSERT_EQ(1u, listed.count("VorlaTwin"));
    EXPECT_EQ(fixturePath("VorlaTwinA.ttf"), listed["VorlaTwin"]);
    ASSERT_EQ(1u, listed.count(""));
    EXPECT_EQ(fixturePath("VorlaBareA.ttf"), listed[""]);
}

// The identity under which a PostScript name is read once and shared. Faces that share it
// get one name, so identities of faces with different names must differ: on Windows 10
// and later the named instances of a variable font are faces of one file face, told apart
// only by their axis values. Wine 8 lists no named instances, hence the table.
TEST(FontCatalogue, FileFaceIdentityKeepsNamedInstancesApart) {
    using FontManager::FileFace;
    const int loader = 0, otherLoader = 0;
    const std::uint32_t weight = DWRITE_MAKE_OPENTYPE_TAG('w', 'g', 'h', 't');
    const std::uint32_t width = DWRITE_MAKE_OPENTYPE_TAG('w', 'd', 't', 'h');
    const float bold = 700;
    // A reference key whose last bytes read like an axis value.
    const std::string keyWithTail = std::string("key") + std::string(reinterpret_cast<const char *>(&weight), 4) +
                                    std::string(reinterpret_cast<const char *>(&bold), 4);
    struct Case {
        const char *what;
        FileFace a, b;
        bool same;
    };
    const std::vector<Case> cases = {
        {"one static file face (a face and its simulated bold)",
         {&loader, 0, "key", {}},
         {&loader, 0, "key", {}},
         true},
        {"one named instance", {&loader, 0, "key", {{weight, 700}}}, {&loader, 0, "key", {{weight, 700}}}, true},
        {"one position, zero of either sign",
         {&loader, 0, "key", {{weight, 0.0f}}},
         {&loader, 0, "key", {{weight, -0.0f}}},
         true},
        {"two named instances of one file face",
         {&loader, 0, "key", {{weight, 400}}},
         {&loader, 0, "key", {{weight, 700}}},
         false},
        {"instances apart on their second axis",
         {&loader, 0, "key", {{weight, 400}, {width, 100}}},
         {&loader, 0, "key", {{weight, 400}, {width, 75}}},
         false},
        {"an instance and the file face without axis values",
         {&loader, 0, "key", {}},
         {&loader, 0, "key", {{weight, 400}}},
         false},
        {"two faces of a collection file", {&loader, 0, "key", {}}, {&loader, 1, "key", {}}, false},
        {"two files", {&loader, 0, "key", {}}, {&loader, 0, "kez", {}}, false},
        {"two loaders", {&loader, 0, "key", {}}, {&otherLoader, 0, "key", {}}, false},
        {"a key that ends like axis values",
         {&loader, 0, keyWithTail, {}},
         {&loader, 0, "key", {{weight, bold}}},
         false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.same, FontManager::fileFaceIdentity(c.a) == FontManager::fileFaceIdentity(c.b)) << c.what;
    }
}

// Face references (the PostScript name read once per face of a file, the file and the
// monospace flag without a face object) give the list that face objects give: the
// same records in the same order, for both family locales.
TEST(FontCatalogue, FaceReferencesListWhatFaceObjectsList) {
    using Lookup = FontManager::FontManagerImpl::Lookup;
    for (const char *locale : {"zh-CN", "en-us"}) {
        SCOPED_TRACE(locale);
        const auto fast = listFonts(locale, Lookup::FaceReferences);
        const auto walked = listFonts(locale, Lookup::FaceObjects);
        ASSERT_TRUE(fast && walked);
        EXPECT_NE(nullptr, byPostScript(*walked, "VorlaMono-Bold"));
        ASSERT_EQ(walked->size(), fast->size());
        for (std::size_t i = 0; i < walked->size(); ++i) {
            const FontDescriptor &a = *(*fast)[i], &b = *(*walked)[i];
            SCOPED_TRACE(b.postscriptName);
            EXPECT_EQ(b.path, a.path);
            EXPECT_EQ(b.postscriptName, a.postscriptName);
            EXPECT_EQ(b.family, a.family);
            EXPECT_EQ(b.style, a.style);
            EXPECT_EQ(b.weight, a.weight);
            EXPECT_EQ(b.width, a.width);
            EXPECT_EQ(b.italic, a.italic);
            EXPECT_EQ(b.monospace, a.monospace);
        }
    }
}

}  // namespace
