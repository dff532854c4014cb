// Font installation core: reader of the sfnt naming table ("name").
//
// The directory and the naming table are each read in one piece, cut at the end of the
// file; every offset, count and length is then checked against what was read, so a
// truncated or hostile file yields fewer names or none, and never costs more than its size.
// The records are indexed in one pass without decoding; only the texts of the result are
// decoded once the language is chosen.
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
constexpr int kChinese = 0, kEnglish = 1, kJapanese = 2;

constexpr size_t kOffsetTableSize = 12;
constexpr size_t kTableRecordSize = 16;
constexpr size_t kNameHeaderSize = 6;
constexpr size_t kNameRecordSize = 12;

// Row of the language table for a record, or -1 (other languages and platforms).
int languageRow(int platformId, int languageId) {
    if (platformId != 1 && platformId != 3) return -1;
    for (int row = 0; row < 3; ++row) {
        if (languageId == (platformId == 1 ? kLanguages[row].mac : kLanguages[row].windows)) return row;
    }
    return -1;
}

// Row of a language code, compared on its first two characters, or -1.
int codeRow(const std::string &code) {
    const std::string key = code.substr(0, 2);
    for (int row = 0; row < 3; ++row) {
        if (key == kLanguages[row].code) return row;
    }
    return -1;
}

// The name IDs a result is made of: family, subfamily, full name, PostScript name.
int idSlot(int nameId) {
    switch (nameId) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    case 6:
        return 3;
    default:
        return -1;
    }
}

// A record not decoded yet: where its string lies in the table.
struct RecordRef {
    bool present = false;
    int platformId = 0;
    int encodingId = 0;
    size_t offset = 0;
    size_t length = 0;
};

// One pass over the records: per language the number of distinct name IDs, and the first
// record of each wanted ID per language and platform. Nothing is decoded here.
struct NameIndex {
    RecordRef slots[3][2][4];   // language row, platform (Macintosh, Windows), idSlot
    RecordRef firstPostScript;  // the first name ID 6 of either platform, any language
    size_t ids[3] = {0, 0, 0};  // distinct name IDs per language row

    // The Macintosh record of an ID wins over the Windows one.
    const RecordRef *find(int row, int nameId) const {
        if (row < 0) return nullptr;
        const int slot = idSlot(nameId);
        if (slots[row][0][slot].present) return &slots[row][0][slot];
        if (slots[row][1][slot].present) return &slots[row][1][slot];
        return nullptr;
    }
};

NameIndex indexNameTable(std::string_view table) {
    NameIndex index;
    if (table.size() < kNameHeaderSize) return index;
    const size_t count = get16(table, 2);
    const size_t storage = get16(table, 4);
    // Strings live after the records; records that run past the table overlap the strings.
    const size_t recordsEnd = kNameHeaderSize + count * kNameRecordSize;
    if (recordsEnd > table.size() || storage < recordsEnd) return index;
    std::vector<bool> seen(3 * 0x10000);  // language row, name ID
    for (size_t at = kNameHeaderSize; at < recordsEnd; at += kNameRecordSize) {
        const int platformId = static_cast<int>(get16(table, at));
        const int row = languageRow(platformId, static_cast<int>(get16(table, at + 4)));
        const int nameId = static_cast<int>(get16(table, at + 6));
        if (row < 0 && !(nameId == 6 && (platformId == 1 || platformId == 3))) continue;
        const size_t length = get16(table, at + 8);
        const size_t offset = storage + get16(table, at + 10);
        // A string that does not lie wholly inside the table drops its record: a damaged
        // full name must not hide an intact family name.
        if (offset > table.size() || length > table.size() - offset) continue;
        const RecordRef ref{true, platformId, static_cast<int>(get16(table, at + 2)), offset, length};
        if (nameId == 6 && !index.firstPostScript.present) index.firstPostScript = ref;
        if (row < 0) continue;
        auto seenId = seen[static_cast<size_t>(row) * 0x10000 + static_cast<size_t>(nameId)];
        if (!seenId) {
            seenId = true;
            ++index.ids[row];
        }
        const int slot = idSlot(nameId);
        if (slot < 0) continue;
        RecordRef &kept = index.slots[row][platformId == 1 ? 0 : 1][slot];
        if (!kept.present) kept = ref;
    }
    return index;
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

std::string readNameTableBytes(std::istream &in, const std::vector<SfntTableRecord> &directory) {
    for (const SfntTableRecord &record : directory) {
        if (std::string_view(record.tag, 4) == "name") return readBytes(in, record.offset, record.length);
    }
    return {};
}

FontNames chooseNames(std::string_view table, const std::string &code) {
    const NameIndex index = indexNameTable(table);
    auto decoded = [&](const RecordRef *ref) {
        return ref ? decodeName(ref->platformId, ref->encodingId, table.substr(ref->offset, ref->length))
                   : std::string();
    };
    FontNames names;
    // The language first: the asked one when it has any name, else the fallbacks in order.
    const int asked = codeRow(code);
    names.askedIds = asked < 0 ? 0 : index.ids[asked];
    int chosen = names.askedIds > 0 ? asked : -1;
    if (code != "en") {
        std::cout << "------------------" << names.askedIds << std::endl;
        for (int row : {kEnglish, kJapanese, kChinese}) {
            if (chosen < 0 && index.ids[row] > 0) chosen = row;
        }
    }
    if (chosen >= 0) names.language = kLanguages[chosen].code;

    // Then the name ID within that language: full name, family, PostScript name.
    for (int id : {4, 1, 6}) {
        if (const RecordRef *ref = index.find(chosen, id)) {
            names.name = decoded(ref);
            break;
        }
    }
    const RecordRef *subfamily = index.find(chosen, 2);
    names.subfamily = decoded(subfamily ? subfamily : index.find(kEnglish, 2));
    const RecordRef *postScript = nullptr;
    for (int row : {asked, kEnglish, kJapanese, kChinese}) {
        if (!postScript) postScript = index.find(row, 6);
    }
    if (!postScript && index.firstPostScript.present) postScript = &index.firstPostScript;
    names.postScriptName = decoded(postScript);
    return names;
}

FontNames readFontNames(std::istream &in, const std::string &code) {
    return chooseNames(readNameTableBytes(in, readTableDirectory(in)), code);
}

std::string readFontFamilyName(std::istream &in, const std::string &code) { return readFontNames(in, code).name; }
