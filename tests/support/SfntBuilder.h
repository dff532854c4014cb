// Builds small sfnt (TrueType/OpenType) files in memory for tests: naming tables
// with exactly the records a case needs, whole fonts from a list of tables, and
// real fonts with their naming table replaced (so the platform can still load them).
// Header-only and platform-neutral.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace sfnt {

// Big-endian writers.
inline void put16(std::string &out, std::uint32_t v) {
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}
inline void put32(std::string &out, std::uint32_t v) {
    put16(out, v >> 16);
    put16(out, v & 0xFFFF);
}
inline std::uint32_t get16(const std::string &in, size_t at) {
    return (static_cast<unsigned char>(in.at(at)) << 8) | static_cast<unsigned char>(in.at(at + 1));
}
inline std::uint32_t get32(const std::string &in, size_t at) { return (get16(in, at) << 16) | get16(in, at + 2); }

// UTF-8 text -> UTF-16 code units (pairs for characters outside the basic plane).
inline std::u16string utf16Of(const std::string &utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp;
        size_t extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c >> 5) == 0x6) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c >> 4) == 0xE) {
            cp = c & 0x0F;
            extra = 2;
        } else {
            cp = c & 0x07;
            extra = 3;
        }
        for (size_t k = 1; k <= extra && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

inline std::string utf16be(const std::u16string &units) {
    std::string out;
    for (char16_t u : units) put16(out, u);
    return out;
}

// Language IDs used by the tests.
enum : std::uint16_t {
    kMacEnglish = 0,
    kMacJapanese = 11,
    kMacChineseSimplified = 33,
    kWinEnglish = 0x0409,
    kWinChineseSimplified = 0x0804,
    kWinJapanese = 0x0411,
    kWinGerman = 0x0407,
};
enum : std::uint16_t { kFamily = 1, kSubfamily = 2, kFullName = 4, kPostScript = 6 };

struct NameRecord {
    std::uint16_t platformId = 3;
    std::uint16_t encodingId = 1;
    std::uint16_t languageId = kWinEnglish;
    std::uint16_t nameId = kFamily;
    std::string bytes;  // stored form (UTF-16BE for Windows, code-page bytes for Macintosh)
};

inline NameRecord windowsName(std::uint16_t nameId, std::uint16_t languageId, const std::string &utf8) {
    return {3, 1, languageId, nameId, utf16be(utf16Of(utf8))};
}
inline NameRecord windowsUnits(std::uint16_t nameId, std::uint16_t languageId, const std::u16string &units) {
    return {3, 1, languageId, nameId, utf16be(units)};
}
inline NameRecord macName(std::uint16_t nameId, std::uint16_t languageId, const std::string &bytes,
                          std::uint16_t encodingId = 0) {
    return {1, encodingId, languageId, nameId, bytes};
}

// Format-0 naming table; strings stored back to back in record order.
inline std::string nameTable(const std::vector<NameRecord> &records) {
    std::string head, storage;
    put16(head, 0);
    put16(head, static_cast<std::uint32_t>(records.size()));
    put16(head, static_cast<std::uint32_t>(6 + 12 * records.size()));
    for (const NameRecord &r : records) {
        put16(head, r.platformId);
        put16(head, r.encodingId);
        put16(head, r.languageId);
        put16(head, r.nameId);
        put16(head, static_cast<std::uint32_t>(r.bytes.size()));
        put16(head, static_cast<std::uint32_t>(storage.size()));
        storage += r.bytes;
    }
    return head + storage;
}

struct Table {
    std::string tag;  // four characters
    std::string data;
};

inline std::uint32_t checkSum(const std::string &data) {
    std::uint32_t sum = 0;
    std::string padded = data;
    padded.resize((data.size() + 3) & ~size_t(3), '\0');
    for (size_t i = 0; i < padded.size(); i += 4) sum += get32(padded, i);
    return sum;
}

// A complete sfnt: offset table, directory, 4-byte aligned tables. base is where it will lie in
// its file (a face of a collection): the table offsets count from the file's start.
inline std::string font(const std::vector<Table> &tables, std::uint32_t version = 0x00010000, std::uint32_t base = 0) {
    std::string out;
    const std::uint32_t n = static_cast<std::uint32_t>(tables.size());
    std::uint32_t power = 1, log2 = 0;
    while (power * 2 <= n) {
        power *= 2;
        ++log2;
    }
    put32(out, version);
    put16(out, n);
    put16(out, power * 16);
    put16(out, log2);
    put16(out, n * 16 - power * 16);
    std::uint32_t offset = base + 12 + 16 * n;
    std::string body;
    for (const Table &t : tables) {
        out += t.tag.substr(0, 4);
        put32(out, checkSum(t.data));
        put32(out, offset + static_cast<std::uint32_t>(body.size()));
        put32(out, static_cast<std::uint32_t>(t.data.size()));
        body += t.data;
        body.resize((body.size() + 3) & ~size_t(3), '\0');
    }
    return out + body;
}

// The tables of an existing sfnt (of the face whose offset table lies at face), in directory order.
inline std::vector<Table> tablesOf(const std::string &fontBytes, size_t face = 0) {
    std::vector<Table> tables;
    const std::uint32_t n = get16(fontBytes, face + 4);
    for (std::uint32_t i = 0; i < n; ++i) {
        const size_t at = face + 12 + 16 * i;
        const std::uint32_t offset = get32(fontBytes, at + 8), length = get32(fontBytes, at + 12);
        tables.push_back({fontBytes.substr(at, 4), fontBytes.substr(offset, length)});
    }
    return tables;
}

// A real font with its naming table replaced by the given records.
inline std::string withNames(const std::string &fontBytes, const std::vector<NameRecord> &records) {
    std::vector<Table> tables = tablesOf(fontBytes);
    bool replaced = false;
    for (Table &t : tables) {
        if (t.tag == "name") {
            t.data = nameTable(records);
            replaced = true;
        }
    }
    if (!replaced) tables.push_back({"name", nameTable(records)});
    return font(tables, get32(fontBytes, 0));
}

// A font collection ("ttcf", version major.0) of the given fonts, in order, each face with its
// own copy of its tables. Version 2 adds the (empty) digital-signature fields to the header.
inline std::string collection(const std::vector<std::string> &fonts, std::uint16_t major = 1) {
    std::string header = "ttcf";
    put16(header, major);
    put16(header, 0);
    put32(header, static_cast<std::uint32_t>(fonts.size()));
    std::uint32_t at = static_cast<std::uint32_t>(12 + 4 * fonts.size() + (major >= 2 ? 12 : 0));
    std::string faces;
    for (const std::string &f : fonts) {
        put32(header, at);
        const std::string face = font(tablesOf(f), get32(f, 0), at);
        faces += face;
        at += static_cast<std::uint32_t>(face.size());
    }
    if (major >= 2) header.append(12, '\0');
    return header + faces;
}

// The offset of each face's offset table in a collection.
inline std::vector<std::uint32_t> collectionFaces(const std::string &bytes) {
    std::vector<std::uint32_t> faces;
    for (std::uint32_t i = 0; i < get32(bytes, 8); ++i) faces.push_back(get32(bytes, 12 + 4 * i));
    return faces;
}

// A font that holds only a naming table (enough for a name reader, not for a rasteriser).
inline std::string namesOnly(const std::vector<NameRecord> &records) { return font({{"name", nameTable(records)}}); }

inline std::string readBinary(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace sfnt
