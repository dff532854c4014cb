// Test fonts with chosen names, made from a real TrueType file.
//
// renameFont() keeps every table of the source font (so any rasteriser can use
// it) and replaces the naming table with the given Windows-platform records
// (platform 3, encoding 1, UTF-16BE text). Optional OS/2 fsSelection and post
// isFixedPitch edits let a fixture declare itself italic or monospaced.
#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

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

inline std::uint32_t read32(const std::string &b, std::size_t at) {
    if (at + 4 > b.size()) throw std::runtime_error("sfnt: truncated");
    return (std::uint32_t(std::uint8_t(b[at])) << 24) | (std::uint32_t(std::uint8_t(b[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint32_t(std::uint8_t(b[at + 3]));
}
inline std::uint16_t read16(const std::string &b, std::size_t at) {
    if (at + 2 > b.size()) throw std::runtime_error("sfnt: truncated");
    return std::uint16_t((std::uint8_t(b[at]) << 8) | std::uint8_t(b[at + 1]));
}
inline void put16(std::string &b, std::uint16_t v) {
    b.push_back(char(v >> 8));
    b.push_back(char(v & 0xFF));
}
inline void put32(std::string &b, std::uint32_t v) {
    put16(b, std::uint16_t(v >> 16));
    put16(b, std::uint16_t(v & 0xFFFF));
}
inline void set16(std::string &b, std::size_t at, std::uint16_t v) {
    if (at + 2 > b.size()) throw std::runtime_error("sfnt: table too short");
    b[at] = char(v >> 8);
    b[at + 1] = char(v & 0xFF);
}
inline void set32(std::string &b, std::size_t at, std::uint32_t v) {
    set16(b, at, std::uint16_t(v >> 16));
    set16(b, at + 2, std::uint16_t(v & 0xFFFF));
}
inline std::uint32_t checkSum(const std::string &table) {
    std::string padded = table;
    padded.resize((padded.size() + 3) & ~std::size_t(3), '\0');
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < padded.size(); i += 4) sum += read32(padded, i);
    return sum;
}

inline std::string buildNameTable(std::vector<NameEntry> names) {
    std::sort(names.begin(), names.end(), [](const NameEntry &a, const NameEntry &b) {
        return std::tie(a.languageId, a.nameId) < std::tie(b.languageId, b.nameId);
    });
    std::string table, strings;
    put16(table, 0);
    put16(table, std::uint16_t(names.size()));
    put16(table, std::uint16_t(6 + 12 * names.size()));
    for (const NameEntry &n : names) {
        put16(table, 3);  // Windows platform
        put16(table, 1);  // Unicode BMP
        put16(table, n.languageId);
        put16(table, n.nameId);
        put16(table, std::uint16_t(n.text.size() * 2));
        put16(table, std::uint16_t(strings.size()));
        for (char16_t c : n.text) put16(strings, std::uint16_t(c));
    }
    return table + strings;
}

}  // namespace detail

// Returns a complete font file: the source's tables with the edits applied.
inline std::string renameFont(const std::string &source, const FontEdits &edits) {
    using namespace detail;
    const std::uint16_t numTables = read16(source, 4);
    struct Table {
        std::string tag;
        std::string data;
    };
    std::vector<Table> tables;
    for (std::uint16_t i = 0; i < numTables; ++i) {
        const std::size_t rec = 12 + 16 * std::size_t(i);
        const std::uint32_t offset = read32(source, rec + 8), length = read32(source, rec + 12);
        if (std::size_t(offset) + length > source.size()) throw std::runtime_error("sfnt: table outside file");
        Table t{source.substr(rec, 4), source.substr(offset, length)};
        if (t.tag == "name") t.data = buildNameTable(edits.names);
        if (t.tag == "head") {
            set32(t.data, 8, 0);  // checkSumAdjustment: not recomputed
            if (edits.italic >= 0) {
                std::uint16_t mac = read16(t.data, 44);
                set16(t.data, 44, edits.italic ? (mac | 0x0002) : (mac & ~0x0002));
            }
        }
        if (t.tag == "OS/2" && edits.italic >= 0) {
            std::uint16_t sel = read16(t.data, 62);
            sel = edits.italic ? std::uint16_t((sel | 0x0001) & ~0x0040) : std::uint16_t(sel & ~0x0201);
            set16(t.data, 62, sel);
        }
        if (t.tag == "post" && edits.fixedPitch >= 0) set32(t.data, 12, std::uint32_t(edits.fixedPitch));
        tables.push_back(std::move(t));
    }

    std::uint16_t entrySelector = 0;
    while ((2u << entrySelector) <= numTables) ++entrySelector;
    const std::uint16_t searchRange = std::uint16_t(16u << entrySelector);
    std::string out;
    put32(out, read32(source, 0));
    put16(out, numTables);
    put16(out, searchRange);
    put16(out, entrySelector);
    put16(out, std::uint16_t(numTables * 16 - searchRange));
    std::size_t offset = 12 + 16 * tables.size();
    std::string body;
    for (const Table &t : tables) {
        out += t.tag;
        put32(out, checkSum(t.data));
        put32(out, std::uint32_t(offset + body.size()));
        put32(out, std::uint32_t(t.data.size()));
        body += t.data;
        body.resize((body.size() + 3) & ~std::size_t(3), '\0');
    }
    return out + body;
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
