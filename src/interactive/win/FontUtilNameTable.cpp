// Font installation core: reader of the sfnt naming table ("name").
//
// The directory and the naming table are each read in one piece, cut at the end of the
// file; every offset, count and length is then checked against what was read, so a
// truncated or hostile file yields fewer names or none, and never costs more than its size.
#include "interactive/win/NameTable.h"

#include "common/Text.h"

#include <algorithm>
#include <iostream>

namespace {

std::uint64_t streamSize(std::istream &in) {
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    return end > 0 ? static_cast<std::uint64_t>(end) : 0;
}

// Up to length bytes at offset; fewer at the end of the stream.
std::string readBytes(std::istream &in, std::uint64_t offset, std::uint64_t length) {
    const std::uint64_t size = streamSize(in);
    if (offset >= size) return {};
    length = std::min(length, size - offset);
    std::string out(static_cast<size_t>(length), '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(out.data(), static_cast<std::streamsize>(length));
    out.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return out;
}

std::uint32_t get16(std::string_view bytes, size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 8) |
           static_cast<unsigned char>(bytes[at + 1]);
}

std::uint32_t get32(std::string_view bytes, size_t at) { return (get16(bytes, at) << 16) | get16(bytes, at + 2); }

// Code page of a Macintosh-platform name by its encoding ID.
unsigned macCodePage(int encodingId) {
    switch (encodingId) {
    case 0:
        return 10000;  // Roman
    case 1:
        return 932;  // Japanese
    case 2:
        return 950;  // Traditional Chinese
    case 3:
        return 949;  // Korean
    case 25:
        return 936;  // Simplified Chinese
    default:
        return 0;  // the system ANSI code page
    }
}

std::string decodeName(int platformId, int encodingId, std::string_view raw) {
    if (platformId == 1) return vorla::codePageToUtf8(macCodePage(encodingId), raw);
    if (platformId == 3) {
        std::string text = vorla::utf16BeToUtf8(raw);
        text.resize(std::min(text.size(), text.find('\0')));
        return text;
    }
    return {};
}

struct LanguageRow {
    const char *code;
    int mac;
    int windows;
};
constexpr LanguageRow kLanguages[] = {{"cn", 33, 0x0804}, {"en", 0, 0x0409}, {"jp", 11, 0x0411}};

constexpr size_t kOffsetTableSize = 12;
constexpr size_t kTableRecordSize = 16;
constexpr size_t kNameHeaderSize = 6;
constexpr size_t kNameRecordSize = 12;

// Slot of a name in the language preference, or -1 when no preference uses it.
int preferenceSlot(int platformId, int languageId, int nameId) {
    const int idSlot = nameId == 1 ? 0 : nameId == 4 ? 1 : nameId == 6 ? 2 : -1;
    if (idSlot < 0 || (platformId != 1 && platformId != 3)) return -1;
    for (int row = 0; row < 3; ++row) {
        const int language = platformId == 1 ? kLanguages[row].mac : kLanguages[row].windows;
        if (language == languageId) return ((platformId == 1 ? 0 : 3) + row) * 3 + idSlot;
    }
    return -1;
}

}  // namespace

std::vector<SfntTableRecord> readTableDirectory(std::istream &in) {
    const std::string header = readBytes(in, 0, kOffsetTableSize);
    if (header.size() < kOffsetTableSize) return {};
    const std::uint32_t numTables = get16(header, 4);
    const std::string bytes = readBytes(in, kOffsetTableSize, std::uint64_t{numTables} * kTableRecordSize);
    std::vector<SfntTableRecord> directory;
    for (size_t at = 0; at + kTableRecordSize <= bytes.size(); at += kTableRecordSize) {
        SfntTableRecord record;
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), 4, record.tag);
        record.checkSum = get32(bytes, at + 4);
        record.offset = get32(bytes, at + 8);
        record.length = get32(bytes, at + 12);
        directory.push_back(record);
    }
    return directory;
}

std::vector<FontName> readNameRecords(std::istream &in, const std::vector<SfntTableRecord> &directory) {
    for (const SfntTableRecord &record : directory) {
        if (std::string_view(record.tag, 4) == "name")
            return readNameTable(readBytes(in, record.offset, record.length));
    }
    return {};
}

std::vector<FontName> readNameTable(std::string_view table) {
    std::vector<FontName> names;
    if (table.size() < kNameHeaderSize) return names;
    const size_t count = get16(table, 2);
    const size_t storage = get16(table, 4);
    // Strings live after the records; records that run past the table overlap the strings.
    const size_t recordsEnd = kNameHeaderSize + count * kNameRecordSize;
    if (recordsEnd > table.size() || storage < recordsEnd) return names;
    bool taken[kMaxKeptNames] = {};
    for (size_t at = kNameHeaderSize; at < recordsEnd; at += kNameRecordSize) {
        const int platformId = static_cast<int>(get16(table, at));
        const int languageId = static_cast<int>(get16(table, at + 4));
        const int nameId = static_cast<int>(get16(table, at + 6));
        const int slot = preferenceSlot(platformId, languageId, nameId);
        if (slot < 0 || taken[slot]) continue;
        const size_t length = get16(table, at + 8);
        const size_t offset = storage + get16(table, at + 10);
        // A string that does not lie wholly inside the table drops its record: a damaged
        // full name must not hide an intact family name.
        if (offset > table.size() || length > table.size() - offset) continue;
        taken[slot] = true;
        FontName name;
        name.platformId = platformId;
        name.encodingId = static_cast<int>(get16(table, at + 2));
        name.languageId = languageId;
        name.nameId = nameId;
        name.text = decodeName(platformId, name.encodingId, table.substr(offset, length));
        names.push_back(std::move(name));
    }
    return names;
}

std::map<int, std::string> namesForLanguage(const std::vector<FontName> &names, const std::string &code) {
    std::map<int, std::string> result;
    const std::string key = code.substr(0, 2);
    for (const LanguageRow &row : kLanguages) {
        if (key != row.code) continue;
        // Macintosh names first, so a Macintosh name wins over a Windows name of the same ID.
        for (const FontName &name : names) {
            if (name.platformId == 1 && name.languageId == row.mac) result.emplace(name.nameId, name.text);
        }
        for (const FontName &name : names) {
            if (name.platformId == 3 && name.languageId == row.windows) result.emplace(name.nameId, name.text);
        }
    }
    return result;
}

std::map<int, std::string> namesWithFallback(const std::vector<FontName> &names, const std::string &code) {
    if (code == "en") return namesForLanguage(names, "en");
    std::map<int, std::string> result = namesForLanguage(names, code);
    std::cout << "------------------" << result.size() << std::endl;
    for (const char *fallback : {"en", "jp", "cn"}) {
        if (!result.empty()) break;
        result = namesForLanguage(names, fallback);
    }
    return result;
}

std::string readFontFamilyName(std::istream &in, const std::string &code) {
    const std::vector<FontName> names = readNameRecords(in, readTableDirectory(in));
    const std::map<int, std::string> chosen = namesWithFallback(names, code);
    for (int id : {4, 1, 6}) {
        auto it = chosen.find(id);
        if (it != chosen.end()) return it->second;
    }
    return {};
}
