// The catalogue against the fixture fonts that the test prefix registers under
// HKLM (MakeCatalogueFonts), plus the DejaVu faces Wine finds through fontconfig.
#include "fontmanager/FontManager.h"

#include "common/Status.h"
#include "fontmanager/CatalogueSeam.h"
#include "fontmanager/FontCatalogue.h"
#include "interactive/win/WindowsInterActive.h"
#include "support/CatalogueFixtures.h"
#include "support/CatalogueRecords.h"
#include "common/Raii.h"
#include "common/Text.h"

#include <dwrite_3.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

using catalogue::byPostScript;
using FontManager::FontDescriptor;
using FontManager::FontList;

std::unique_ptr<FontList> listFonts(
    const std::string &locale,
    FontManager::FontManagerImpl::Lookup lookup = FontManager::FontManagerImpl::Lookup::FaceReferences) {
    return catalogue::uncached(locale, {}, lookup);
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
        EXPECT_TRUE(catalogue::sameRecords(*walked, *fast));
    }
}

// The key under which a face's read is kept for the next listing: equal only for the same face
// of the same file as written then, with the same simulations (and, for a named instance, the
// same axis values). A file written again under its name has another write time.
TEST(FontCatalogue, FaceReadKeyTellsApartWhatChangesARead) {
    using FontManager::FaceRead;
    const std::uint32_t weight = DWRITE_MAKE_OPENTYPE_TAG('w', 'g', 'h', 't');
    const std::uint64_t written = 133000000000000000ull;
    const FaceRead base{L"C:\\Windows\\Fonts\\a.ttf", written, 0, DWRITE_FONT_SIMULATIONS_NONE, {}};
    struct Case {
        const char *what;
        FaceRead other;
        bool same;
    };
    const std::vector<Case> cases = {
        {"the same face", base, true},
        {"the file written again", {base.path, written + 1, 0, DWRITE_FONT_SIMULATIONS_NONE, {}}, false},
        {"another file", {L"C:\\Windows\\Fonts\\b.ttf", written, 0, DWRITE_FONT_SIMULATIONS_NONE, {}}, false},
        {"another face of a collection file", {base.path, written, 1, DWRITE_FONT_SIMULATIONS_NONE, {}}, false},
        {"the simulated bold face", {base.path, written, 0, DWRITE_FONT_SIMULATIONS_BOLD, {}}, false},
        {"a named instance", {base.path, written, 0, DWRITE_FONT_SIMULATIONS_NONE, {{weight, 700}}}, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.same, FontManager::faceReadKey(base) == FontManager::faceReadKey(c.other)) << c.what;
    }
}

// Temporary fonts of this process: Wine's system collection leaves them out (as Windows' may),
// so they come from the catalogue's own collection of the files it registered, after the system
// collection's faces and never under a PostScript name listed already. The seam shows that the
// system collection was asked for with the update check (Wine ignores it) and which files the
// own collection took.
TEST(FontCatalogue, ListsThisProcessTemporaryFontsAfterTheSystemCollection) {
    namespace seam = FontManager::seam;
    const testsupport::TempDir dir("catalogue-temp");
    const std::string family = "Vorla Own " + catalogue::uniqueTag();
    const std::string own = catalogue::writeFont(dir / "own.ttf", family);
    // A fixture face of the system collection has this PostScript name already.
    const std::string twin = catalogue::writeFont(dir / "twin.ttf", "Vorla Twin " + catalogue::uniqueTag(),
                                                  "VorlaMono-Bold");
    const InteractiveFont ownFont{family, own, {}, {}}, twinFont{"twin", twin, {}, {}};
    WindowsInterActive interactive;
    ASSERT_EQ(Status::kDone, interactive.installTempFont(&ownFont));
    ASSERT_EQ(Status::kDone, interactive.installTempFont(&twinFont));
    const auto system = listFonts("zh-CN");

    seam::take();
    const auto list = interactive.getAvailableFonts("zh-CN");
    const auto listings = seam::take();
    ASSERT_EQ(1u, listings.size());
    EXPECT_TRUE(listings[0].updateCheck);
    EXPECT_EQ((std::vector<std::string>{own, twin}), listings[0].ownFiles);
    ASSERT_EQ(system->size() + 1, list->size());
    FontList head;
    for (std::size_t i = 0; i < system->size(); ++i) head.push_back(std::make_unique<FontDescriptor>(*(*list)[i]));
    EXPECT_TRUE(catalogue::sameRecords(*system, head));
    EXPECT_EQ(catalogue::postscriptNameOf(family), list->back()->postscriptName);
    EXPECT_EQ(own, list->back()->path);
    EXPECT_EQ(family, list->back()->family);

    EXPECT_EQ(Status::kDone, interactive.uninstallTempFont(&ownFont));
    EXPECT_EQ(Status::kDone, interactive.uninstallTempFont(&twinFont));
    const auto after = interactive.getAvailableFonts("zh-CN");
    const auto afterListings = seam::take();
    ASSERT_EQ(1u, afterListings.size());
    EXPECT_TRUE(afterListings[0].updateCheck);
    EXPECT_TRUE(afterListings[0].ownFiles.empty());
    EXPECT_TRUE(catalogue::sameRecords(*system, *after));
}

// Registrations count, by file: a file registered twice (the second time in other letter case)
// stays listed until its second registration is removed.
TEST(FontCatalogue, TemporaryFontStaysListedUntilItsLastRegistrationGoes) {
    const testsupport::TempDir dir("catalogue-count");
    const std::string family = "Vorla Count " + catalogue::uniqueTag();
    const std::string file = catalogue::writeFont(dir / "count.ttf", family);
    std::string upper = file;
    for (char &c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    FontManager::FontCatalogue catalogue;
    auto listed = [&] {
        return catalogue::byPostScript(*catalogue.list("zh-CN"), catalogue::postscriptNameOf(family));
    };

    catalogue.temporaryFontAdded(file);
    catalogue.temporaryFontAdded(upper);
    ASSERT_NE(nullptr, listed());
    EXPECT_EQ(file, listed()->path);
    catalogue.temporaryFontRemoved(file);
    EXPECT_NE(nullptr, listed());
    catalogue.temporaryFontRemoved(file);
    EXPECT_EQ(nullptr, listed());
}

}  // namespace
