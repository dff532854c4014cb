// Font installation core: reader of the sfnt naming table ("name").
//
// Every offset, count and length is checked against the size of the stream, so a
// truncated or hostile file yields fewer names or none and never reads past the end.
#include "FontUtil.h"

#include <iostream>

namespace {

// Bounded big-endian reads on a seekable stream. A read outside [0, size) gives
// nothing: numbers come out 0 and texts empty, as with a short file.
class SfntReader {
public:
    explicit SfntReader(std::istream &in) : in_(in) {
        in_.clear();
        in_.seekg(0, std::ios::end);
        const std::streamoff end = in_.tellg();
        size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }

    std::uint64_t size() const { return size_; }
    bool contains(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    std::string bytes(std::uint64_t offset, std::uint64_t length) {
        if (!contains(offset, length) || length == 0) return {};
        std::string out(static_cast<size_t>(length), '\0');
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(out.data(), static_cast<std::streamsize>(length));
        out.resize(in_.good() || in_.eof() ? static_cast<size_t>(in_.gcount()) : 0);
        return out;
    }

    std::uint32_t number(std::uint64_t offset, int width) {
        const std::string raw = bytes(offset, static_cast<std::uint64_t>(width));
        if (raw.size() != static_cast<size_t>(width)) return 0;
        std::uint32_t value = 0;
        for (unsigned char c : raw) value = (value << 8) | c;
        return value;
    }

private:
    std::istream &in_;
    std::uint64_t size_ = 0;
};

void appendUtf8(std::string &out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Big-endian UTF-16; pairs become one code point, lone surrogates U+FFFD, an odd last byte is dropped.
std::string utf16BeToUtf8(const std::string &raw) {
    std::string out;
    const size_t units = raw.size() / 2;
    auto unitAt = [&](size_t i) {
        return static_cast<std::uint32_t>((static_cast<unsigned char>(raw[2 * i]) << 8) |
                                          static_cast<unsigned char>(raw[2 * i + 1]));
    };
    for (size_t i = 0; i < units; ++i) {
        std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            std::uint32_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
        appendUtf8(out, unit);
    }
    return out;
}

// Code page of a Macintosh-platform name by its encoding ID.
unsigned macCodePage(int encodingId) {
    switch (encodingId) {
    case 0: return 10000;  // Roman
    case 1: return 932;    // Japanese
    case 2: return 950;    // Traditional Chinese
    case 3: return 949;    // Korean
    case 25: return 936;   // Simplified Chinese
    default: return CP_ACP;
    }
}

std::string decodeName(int platformId, int encodingId, const std::string &raw) {
    if (platformId == 1) {
        return codePageToUtf8(macCodePage(encodingId), raw.substr(0, raw.find('\0')));
    }
    if (platformId == 3) return utf16BeToUtf8(raw);
    return {};
}

struct LanguageRow {
    const char *code;
    int mac;
    int windows;
};
constexpr LanguageRow kLanguages[] = {{"cn", 33, 0x0804}, {"en", 0, 0x0409}, {"jp", 11, 0x0411}};

constexpr std::uint64_t kOffsetTableSize = 12;
constexpr std::uint64_t kTableRecordSize = 16;
constexpr std::uint64_t kNameRecordSize = 12;

}  // namespace

std::vector<SfntTableRecord> readTableDirectory(std::istream &in) {
    SfntReader reader(in);
    std::vector<SfntTableRecord> directory;
    const std::uint32_t numTables = reader.number(4, 2);
    for (std::uint32_t i = 0; i < numTables; ++i) {
        const std::uint64_t at = kOffsetTableSize + i * kTableRecordSize;
        if (!reader.contains(at, kTableRecordSize)) break;  // truncated directory
        SfntTableRecord record;
        const std::string tag = reader.bytes(at, 4);
        std::copy(tag.begin(), tag.end(), record.tag);
        record.checkSum = reader.number(at + 4, 4);
        record.offset = reader.number(at + 8, 4);
        record.length = reader.number(at + 12, 4);
        directory.push_back(record);
    }
    return directory;
}

std::vector<FontName> readNameRecords(std::istream &in, const std::vector<SfntTableRecord> &directory) {
    std::vector<FontName> names;
    const SfntTableRecord *table = nullptr;
    for (const SfntTableRecord &record : directory) {
        if (std::string(record.tag, 4) == "name") {
            table = &record;
            break;
        }
    }
    if (table == nullptr) return names;

    SfntReader reader(in);
    const std::uint64_t base = table->offset;
    if (!reader.contains(base, 6)) return names;
    const std::uint32_t count = reader.number(base + 2, 2);
    const std::uint64_t storage = base + reader.number(base + 4, 2);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = base + 6 + i * kNameRecordSize;
        if (!reader.contains(at, kNameRecordSize)) break;  // records cut off by the end of the file
        FontName name;
        name.platformId = static_cast<int>(reader.number(at, 2));
        name.encodingId = static_cast<int>(reader.number(at + 2, 2));
        name.languageId = static_cast<int>(reader.number(at + 4, 2));
        name.nameId = static_cast<int>(reader.number(at + 6, 2));
        const std::uint32_t length = reader.number(at + 8, 2);
        const std::uint32_t offset = reader.number(at + 10, 2);
        // A string that does not lie wholly inside the file drops its record: a damaged
        // full name must not hide an intact family name.
        if (!reader.contains(storage + offset, length)) continue;
        name.text = decodeName(name.platformId, name.encodingId, reader.bytes(storage + offset, length));
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
