// The catalogue's test fonts: renamed copies of DejaVu faces, each with the
// names and style bits that one catalogue case needs. MakeCatalogueFonts writes
// them into a folder and registers them under HKLM's Fonts key; the tests read
// the expected values from the same table.
#pragma once

#include "FontFixtures.h"

#include <string>
#include <vector>

namespace CatalogueFixtures {

struct Fixture {
    const char *file;          // file name in the fixture folder
    const char *source;        // DejaVu file it is made from
    const char *registryName;  // HKLM Fonts value name
    FontFixtures::FontEdits edits;
};

inline const char *const kFolder = "C:\\VorlaFixtures\\catalogue\\";
inline const char *const kDejaVuFolder = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\";

inline FontFixtures::FontEdits named(std::initializer_list<FontFixtures::NameEntry> names, int italic = -1,
                                     int fixedPitch = -1) {
    FontFixtures::FontEdits e;
    e.names = names;
    e.italic = italic;
    e.fixedPitch = fixedPitch;
    return e;
}

inline std::vector<Fixture> all() {
    using namespace FontFixtures;
    return {
        // A family named in Chinese and English; style names in both as well.
        {"VorlaSong.ttf", "DejaVuSans.ttf", "Vorla Song (TrueType)",
         named({{kEnUs, kFamilyId, u"Vorla Song"},
                {kZhCn, kFamilyId, u"维拉宋体"},
                {kEnUs, kSubfamilyId, u"Regular"},
                {kZhCn, kSubfamilyId, u"常规"},
                {kEnUs, kFullNameId, u"Vorla Song"},
                {kEnUs, kPostScriptId, u"VorlaSong-Regular"}},
               0, 0)},
        {"VorlaSongItalic.ttf", "DejaVuSerif-Italic.ttf", "Vorla Song Italic (TrueType)",
         named({{kEnUs, kFamilyId, u"Vorla Song"},
                {kZhCn, kFamilyId, u"维拉宋体"},
                {kEnUs, kSubfamilyId, u"Italic"},
                {kZhCn, kSubfamilyId, u"斜体"},
                {kEnUs, kFullNameId, u"Vorla Song Italic"},
                {kEnUs, kPostScriptId, u"VorlaSong-Italic"}},
               1, 0)},
        // Oblique, not italic.
        {"VorlaSlant.ttf", "DejaVuSans-Oblique.ttf", "Vorla Slant Oblique (TrueType)",
         named({{kEnUs, kFamilyId, u"Vorla Slant"},
                {kEnUs, kSubfamilyId, u"Oblique"},
                {kEnUs, kFullNameId, u"Vorla Slant Oblique"},
                {kEnUs, kPostScriptId, u"VorlaSlant-Oblique"}})},
        // Monospaced, bold.
        {"VorlaMono.ttf", "DejaVuSansMono-Bold.ttf", "Vorla Mono Bold (TrueType)",
         named({{kEnUs, kFamilyId, u"Vorla Mono"},
                {kEnUs, kSubfamilyId, u"Bold"},
                {kEnUs, kFullNameId, u"Vorla Mono Bold"},
                {kEnUs, kPostScriptId, u"VorlaMono-Bold"}})},
        // Names only in German and French: the first of each set is listed.
        {"VorlaGlot.ttf", "DejaVuSansCondensed.ttf", "Vorla Glot (TrueType)",
         named({{kDeDe, kFamilyId, u"Vorla Deutsch"},
                {kFrFr, kFamilyId, u"Vorla Français"},
                {kDeDe, kSubfamilyId, u"Standard"},
                {kFrFr, kSubfamilyId, u"Normal"},
                {kDeDe, kFullNameId, u"Vorla Deutsch"},
                {kDeDe, kPostScriptId, u"VorlaGlot-Standard"}})},
        // Two files with one PostScript name.
        {"VorlaTwinA.ttf", "DejaVuSans.ttf", "Vorla Twin (TrueType)",
         named({{kEnUs, kFamilyId, u"Vorla Twin"},
                {kEnUs, kSubfamilyId, u"Regular"},
                {kEnUs, kFullNameId, u"Vorla Twin"},
                {kEnUs, kPostScriptId, u"VorlaTwin"}})},
        {"VorlaTwinB.ttf", "DejaVuSans-Bold.ttf", "Vorla Twin Bold (TrueType)",
         named({{kEnUs, kFamilyId, u"Vorla Twin"},
                {kEnUs, kSubfamilyId, u"Bold"},
                {kEnUs, kFullNameId, u"Vorla Twin Bold"},
                {kEnUs, kPostScriptId, u"VorlaTwin"}})},
        // Two faces without any PostScript name.
        {"VorlaBareA.ttf", "DejaVuSans.ttf", "Vorla Bare A (TrueType)",
         named({{kEnUs, kFamilyId, u"Vorla Bare A"},
                {kEnUs, kSubfamilyId, u"Regular"},
                {kEnUs, kFullNameId, u"Vorla Bare A"}})},
        {"VorlaBareB.ttf", "DejaVuSans.ttf", "Vorla Bare B (TrueType)",
         named({{kEnUs, kFamilyId, u"Vorla Bare B"},
                {kEnUs, kSubfamilyId, u"Regular"},
                {kEnUs, kFullNameId, u"Vorla Bare B"}})},
    };
}

// Two faces in one font collection file: the catalogue lists each with its own names,
// though they share the file.
inline const char *const kCollectionFile = "VorlaPair.ttc";
inline const char *const kCollectionRegistryName = "Vorla Pair & Vorla Pair Bold (TrueType)";

inline std::vector<Fixture> collectionFaces() {
    using namespace FontFixtures;
    return {
        {kCollectionFile, "DejaVuSans.ttf", kCollectionRegistryName,
         named({{kEnUs, kFamilyId, u"Vorla Pair"},
                {kEnUs, kSubfamilyId, u"Regular"},
                {kEnUs, kFullNameId, u"Vorla Pair"},
                {kEnUs, kPostScriptId, u"VorlaPair-Regular"}})},
        {kCollectionFile, "DejaVuSans-Bold.ttf", kCollectionRegistryName,
         named({{kEnUs, kFamilyId, u"Vorla Pair"},
                {kEnUs, kSubfamilyId, u"Bold"},
                {kEnUs, kFullNameId, u"Vorla Pair Bold"},
                {kEnUs, kPostScriptId, u"VorlaPair-Bold"}})},
    };
}

// A TrueType collection (version 1.0) of whole sfnt files: the header with one offset per
// font, then each font with its table offsets counted from the start of the collection.
inline std::string fontCollection(const std::vector<std::string> &fonts) {
    std::string out = "ttcf";
    sfnt::put32(out, 0x00010000);
    sfnt::put32(out, static_cast<std::uint32_t>(fonts.size()));
    std::uint32_t base = static_cast<std::uint32_t>(12 + 4 * fonts.size());
    std::string body;
    for (std::string font : fonts) {
        sfnt::put32(out, base);
        const std::uint32_t tables = sfnt::get16(font, 4);
        for (std::uint32_t i = 0; i < tables; ++i) {
            std::string offset;
            sfnt::put32(offset, sfnt::get32(font, 12 + 16 * i + 8) + base);
            font.replace(12 + 16 * i + 8, 4, offset);
        }
        font.resize((font.size() + 3) & ~size_t(3), '\0');
        base += static_cast<std::uint32_t>(font.size());
        body += font;
    }
    return out + body;
}

// Fonts for the temporary-font tests of the bridge, written next to the catalogue fonts but
// not registered. Each has a family name of its own: the platform's font table outlives the
// test process (for the whole wineserver session), and a file whose face duplicates a face
// already known is not really added, so it could not be removed again either.
inline const char *const kTempFolder = "C:\\VorlaFixtures\\temp\\";

inline std::vector<Fixture> tempFonts() {
    using namespace FontFixtures;
    std::vector<Fixture> out;
    const char *const files[] = {"VorlaTemp1.ttf", "VorlaTemp2.ttf", "VorlaTemp3.ttf", "VorlaTemp4.ttf"};
    const char16_t *const families[] = {u"Vorla Temp One", u"Vorla Temp Two", u"Vorla Temp Three", u"Vorla Temp Four"};
    for (int i = 0; i < 4; ++i) {
        FontEdits edits;
        addNames(edits, kEnUs, families[i], u"Regular");
        out.push_back({files[i], "DejaVuSans.ttf", "", edits});
    }
    return out;
}

}  // namespace CatalogueFixtures
