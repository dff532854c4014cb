// Font installation core: reader of the sfnt naming table ("name").
//
// The directory and the naming table are each read in one piece, cut at the end of the
// file; every offset, count and length is then checked against what was read, so a
// truncated or hostile file yields fewer names or none, and never costs more than its size.
// The records are indexed in one pass without decoding; only the texts of the result are
// decoded once the language is chosen. A collection's reads share one budget, the file's size.
#include "interactive/win/NameTable.h"

#include "common/Text.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <set>

namespace {

std::uint64_t streamSize(std::istream &in) {
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    return end > 0 ? static_cast<std::uint64_t>(end) : 0;
}

// Up to length bytes at offset; fewer at the end of the stream, and never more than *budget
// (which they are taken from) when one is given.
std::string readBytes(std::istream &in, std::uint64_t offset, std::uint64_t length, std::uint64_t *budget = nullptr) {
    const std::uint64_t size = streamSize(in);
    if (offset >= size) return {};
    length = std::min(length, size - offset);
    if (budget) {
        length = std::min(length, *budget);
        *budget -= length;
    }
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
constexpr size_t kCollectionHeaderSize = 12;  // tag, major and minor version, number of faces
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

// The offset table and table directory at offset (a collection's face: its own offset table).
std::vector<SfntTableRecord> readDirectoryAt(std::istream &in, std::uint64_t offset, std::uint64_t *budget) {
    const std::string header = readBytes(in, offset, kOffsetTableSize, budget);
    if (header.size() < kOffsetTableSize) return {};
    const std::uint32_t numTables = get16(header, 4);
    const std::string bytes = readBytes(in, offset + kOffsetTableSize, std::uint64_t{numTables} * kTableRecordSize,
                                        budget);
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

const SfntTableRecord *nameRecordOf(const std::vector<SfntTableRecord> &directory) {
    for (const SfntTableRecord &record : directory) {
        if (std::string_view(record.tag, 4) == "name") return &record;
    }
    return nullptr;
}

// A collection, whose header the caller read: its faces in order, each face's naming table
// decoded once per offset, every read taken from one budget of the file's size (the header's
// bytes already taken).
FontNames readCollectionNames(std::istream &in, const std::string &header, const std::string &code,
                              std::ostream *countLine) {
    FontNames result;
    result.collection = true;
    std::uint64_t budget = streamSize(in) - header.size();
    if (header.size() < kCollectionHeaderSize) return result;
    const std::uint32_t major = get16(header, 4);
    if (major != 1 && major != 2) return result;
    const std::uint64_t faces = std::min<std::uint64_t>(get32(header, 8), kMostCollectionFaces);
    const std::string offsets = readBytes(in, kCollectionHeaderSize, faces * 4, &budget);

    std::set<std::uint32_t> facesRead;
    std::map<std::uint32_t, FontNames> tablesRead;  // by the naming table's offset
    std::set<std::string> named;
    for (size_t at = 0; at + 4 <= offsets.size(); at += 4) {
        const std::uint32_t face = get32(offsets, at);
        if (!facesRead.insert(face).second) continue;
        const std::vector<SfntTableRecord> directory = readDirectoryAt(in, face, &budget);
        const SfntTableRecord *record = nameRecordOf(directory);
        FontNames names;
        if (!record) {
            names = chooseNames({}, code, countLine);
        } else if (auto found = tablesRead.find(record->offset); found != tablesRead.end()) {
            names = found->second;
        } else {
            names = chooseNames(readBytes(in, record->offset, record->length, &budget), code, countLine);
            tablesRead.emplace(record->offset, names);
        }
        result.facePostScriptNames.push_back(names.postScriptName);
        if (names.name.empty() || !named.insert(names.name).second) continue;
        result.name += (result.name.empty() ? "" : " & ") + names.name;
    }
    return result;
}

}  // namespace

std::vector<SfntTableRecord> readTableDirectory(std::istream &in) { return readDirectoryAt(in, 0, nullptr); }

std::string readNameTableBytes(std::istream &in, const std::vector<SfntTableRecord> &directory) {
    const SfntTableRecord *record = nameRecordOf(directory);
    return record ? readBytes(in, record->offset, record->length) : std::string();
}

FontNames chooseNames(std::string_view table, const std::string &code, std::ostream *countLine) {
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
        if (countLine) *countLine << "------------------" << names.askedIds << std::endl;
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

FontNames readFontNames(std::istream &in, const std::string &code, std::ostream *countLine) {
    const std::string header = readBytes(in, 0, kCollectionHeaderSize);
    if (header.rfind("ttcf", 0) == 0) return readCollectionNames(in, header, code, countLine);
    return chooseNames(readNameTableBytes(in, readTableDirectory(in)), code, countLine);
}

FontNames readFontNames(std::istream &in, const std::string &code) { return readFontNames(in, code, &std::cout); }

std::string readFontFamilyName(std::istream &in, const std::string &code) { return readFontNames(in, code).name; }
