// Test fonts with chosen names, made from a real TrueType file.
//
// renameFont() keeps every table of the source font (so any rasteriser can use
// it; the sfnt plumbing is SfntBuilder.h's) and replaces the naming table with the given Windows-platform records
// (platform 3, encoding 1, UTF-16BE text). Optional OS/2 fsSelection and post
// isFixedPitch edits let a fixture declare itself italic or monospaced.
#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "SfntBuilder.h"

namespace FontFixtures {

// Windows language identifiers used by the fixtures.
constexpr std::uint16_t kEnUs = 0x0409;
constexpr std::uint16_t kZhCn = 0x0804;
constexpr std::uint16_t kDeDe = 0x0407;
constexpr std::uint16_t kFrFr = 0x040C;

// Name identifiers of the naming table.
constexpr std::uint16_t kFamilyId = 1;
constexpr std::uint16_t kSubfamilyId = 2;
constexpr std::uint16_t kUniqueId = 3;
constexpr std::uint16_t kFullNameId = 4;
constexpr std::uint16_t kPostScriptId = 6;

struct NameEntry {
    std::uint16_t languageId;
    std::uint16_t nameId;
    std::u16string text;
};

struct FontEdits {
    std::vector<NameEntry> names;
    int italic = -1;      // -1 keep, 0 clear, 1 set: fsSelection bit 0 (and head macStyle bit 1)
    int fixedPitch = -1;  // -1 keep, otherwise post.isFixedPitch
};

namespace detail {

inline void set16(std::string &b, std::size_t at, std::uint16_t v) {
    if (at + 2 > b.size()) throw std::runtime_error("sfnt: table too short");
    b[at] = char(v >> 8);
    b[at + 1] = char(v & 0xFF);
}

}  // namespace detail

// Returns a complete font file: the source's tables with the edits applied.
inline std::string renameFont(const std::string &source, const FontEdits &edits) {
    std::vector<NameEntry> names = edits.names;
    std::sort(names.begin(), names.end(), [](const NameEntry &a, const NameEntry &b) {
        return std::tie(a.languageId, a.nameId) < std::tie(b.languageId, b.nameId);
    });
    std::vector<sfnt::NameRecord> records;
    for (const NameEntry &n : names) records.push_back(sfnt::windowsUnits(n.nameId, n.languageId, n.text));

    std::vector<sfnt::Table> tables = sfnt::tablesOf(source);
    for (sfnt::Table &t : tables) {
        if (t.tag == "name") t.data = sfnt::nameTable(records);
        if (t.tag == "head") {
            detail::set16(t.data, 8, 0);  // checkSumAdjustment: not recomputed
            detail::set16(t.data, 10, 0);
            if (edits.italic >= 0) {
                const std::uint16_t mac = std::uint16_t(sfnt::get16(t.data, 44));
                detail::set16(t.data, 44, edits.italic ? (mac | 0x0002) : (mac & ~0x0002));
            }
        }
        if (t.tag == "OS/2" && edits.italic >= 0) {
            const std::uint16_t sel = std::uint16_t(sfnt::get16(t.data, 62));
            detail::set16(t.data, 62,
                          edits.italic ? std::uint16_t((sel | 0x0001) & ~0x0040) : std::uint16_t(sel & ~0x0201));
        }
        if (t.tag == "post" && edits.fixedPitch >= 0) {
            detail::set16(t.data, 12, std::uint16_t(std::uint32_t(edits.fixedPitch) >> 16));
            detail::set16(t.data, 14, std::uint16_t(edits.fixedPitch & 0xFFFF));
        }
    }
    return sfnt::font(tables, sfnt::get32(source, 0));
}

// The usual four names of a face in one language.
inline void addNames(FontEdits &edits, std::uint16_t languageId, const std::u16string &family,
                     const std::u16string &subfamily) {
    edits.names.push_back({languageId, kFamilyId, family});
    edits.names.push_back({languageId, kSubfamilyId, subfamily});
    edits.names.push_back({languageId, kUniqueId, family + u" " + subfamily});
    edits.names.push_back({languageId, kFullNameId, family + u" " + subfamily});
}

}  // namespace FontFixtures
