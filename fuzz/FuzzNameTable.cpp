// The name-table reader: every text is valid UTF-8 without NUL, and the names chosen
// for each language code (the language, the count line, the registry name, PostScript
// name and subfamily; a collection's joined name and faces' PostScript names) equal a
// second, plain reading of the file written here from the format's rules and the choice's.
// A collection's reads take no more bytes than the file holds.
#include "FuzzCheck.h"
#include "common/Text.h"
#include "interactive/win/NameTable.h"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string_view>

namespace {

std::uint32_t be(std::string_view b, std::uint64_t at, int width) {
    std::uint32_t v = 0;
    for (int k = 0; k < width; ++k) v = (v << 8) | static_cast<unsigned char>(b[at + k]);
    return v;
}

struct Record {
    std::uint32_t platform, encoding, language, id;
    std::string_view raw;  // decoded only when chosen
};

std::string decode(const Record &r) {
    if (r.platform == 1) return vorla::codePageToUtf8(0, r.raw);
    std::u16string units;
    for (size_t k = 0; k + 1 < r.raw.size(); k += 2) {
        const char16_t u = static_cast<char16_t>((static_cast<unsigned char>(r.raw[k]) << 8) |
                                                 static_cast<unsigned char>(r.raw[k + 1]));
        if (u == 0) break;
        units += u;
    }
    return vorla::utf16ToUtf8(units);
}

// Name ID -> first record of a language, Macintosh records before Windows ones.
std::map<std::uint32_t, const Record *> namesFor(const std::vector<Record> &records, const std::string &code) {
    std::map<std::uint32_t, const Record *> names;
    std::uint32_t mac = 0, windows = 0;
    if (code == "cn") {
        mac = 33, windows = 0x0804;
    } else if (code == "en") {
        mac = 0, windows = 0x0409;
    } else if (code == "jp") {
        mac = 11, windows = 0x0411;
    } else {
        return names;
    }
    for (const Record &r : records)
        if (r.platform == 1 && r.language == mac) names.emplace(r.id, &r);
    for (const Record &r : records)
        if (r.platform == 3 && r.language == windows) names.emplace(r.id, &r);
    return names;
}

// The plain reading of one naming table: 64-bit arithmetic, one record at a time.
FontNames oracleTable(const std::string &table, const std::string &code) {
    FontNames result;
    std::vector<Record> records;
    const std::uint64_t count = table.size() < 6 ? 0 : be(table, 2, 2),
                        storage = table.size() < 6 ? 0 : be(table, 4, 2);
    if (table.size() >= 6 && 6 + 12 * count <= table.size() && storage >= 6 + 12 * count) {
        for (std::uint64_t r = 0; r < count; ++r) {
            const std::uint64_t at = 6 + 12 * r;
            const std::uint32_t platform = be(table, at, 2);
            const std::uint64_t length = be(table, at + 8, 2), start = storage + be(table, at + 10, 2);
            if ((platform != 1 && platform != 3) || start + length > table.size()) continue;
            records.push_back({platform, be(table, at + 2, 2), be(table, at + 4, 2), be(table, at + 6, 2),
                               std::string_view(table).substr(start, length)});
        }
    }
    auto chosen = namesFor(records, code);
    result.askedIds = chosen.size();
    if (!chosen.empty()) result.language = code.substr(0, 2);
    for (const char *fallback : {"en", "jp", "cn"}) {
        if (code == "en" || !chosen.empty()) break;
        chosen = namesFor(records, fallback);
        if (!chosen.empty()) result.language = fallback;
    }
    for (std::uint32_t id : {4u, 1u, 6u}) {
        if (chosen.count(id)) {
            result.name = decode(*chosen[id]);
            break;
        }
    }
    const auto english = namesFor(records, "en");
    if (chosen.count(2)) {
        result.subfamily = decode(*chosen[2]);
    } else if (english.count(2)) {
        result.subfamily = decode(*english.at(2));
    }
    for (const std::string &language : {code, std::string("en"), std::string("jp"), std::string("cn")}) {
        const auto names = namesFor(records, language);
        if (names.count(6)) {
            result.postScriptName = decode(*names.at(6));
            return result;
        }
    }
    for (const Record &r : records) {
        if (r.id == 6) {
            result.postScriptName = decode(r);
            break;
        }
    }
    return result;
}

std::string countLine(const FontNames &names, const std::string &code) {
    return code == "en" ? "" : "------------------" + std::to_string(names.askedIds) + "\n";
}

// The naming table of the sfnt whose offset table lies at face: its first "name" record.
// take(offset, length) reads the file.
template <class Take>
bool nameTableAt(std::uint64_t face, Take take, std::uint64_t &offset, std::uint64_t &length) {
    const std::string head = take(face, 12);
    if (head.size() < 12) return false;
    const std::string directory = take(face + 12, 16 * std::uint64_t{be(head, 4, 2)});
    for (std::uint64_t at = 0; at + 16 <= directory.size(); at += 16) {
        if (directory.compare(at, 4, "name") != 0) continue;
        offset = be(directory, at + 8, 4);
        length = be(directory, at + 12, 4);
        return true;
    }
    return false;
}

// The plain reading of a whole file: a single font, or a collection ("ttcf" 1 or 2, at most
// 1,024 faces, each offset table once, each naming table once per offset, every read from one
// budget of the file's size). printed: the count lines expected.
FontNames oracle(const std::string &file, const std::string &code, std::string &printed) {
    if (file.compare(0, 4, "ttcf") != 0) {
        const auto take = [&](std::uint64_t offset, std::uint64_t length) {
            return offset < file.size() ? file.substr(offset, length) : std::string();
        };
        std::uint64_t offset = 0, length = 0;
        const FontNames names = oracleTable(nameTableAt(0, take, offset, length) ? take(offset, length) : "", code);
        printed = countLine(names, code);
        return names;
    }
    FontNames result;
    result.collection = true;
    std::uint64_t budget = file.size();
    const auto take = [&](std::uint64_t offset, std::uint64_t length) {
        if (offset >= file.size()) return std::string();
        length = std::min({length, file.size() - offset, budget});
        budget -= length;
        return file.substr(offset, length);
    };
    const std::string header = take(0, 12);
    if (header.size() < 12 || (be(header, 4, 2) != 1 && be(header, 4, 2) != 2)) return result;
    const std::string offsets = take(12, 4 * std::min<std::uint64_t>(be(header, 8, 4), 1024));
    std::set<std::uint32_t> faces;
    std::map<std::uint64_t, FontNames> tables;
    std::vector<std::string> named;
    for (std::uint64_t at = 0; at + 4 <= offsets.size(); at += 4) {
        if (!faces.insert(be(offsets, at, 4)).second) continue;
        std::uint64_t offset = 0, length = 0;
        FontNames face;
        if (!nameTableAt(be(offsets, at, 4), take, offset, length)) {
            face = oracleTable("", code);
            printed += countLine(face, code);
        } else if (tables.count(offset)) {
            face = tables[offset];
        } else {
            face = oracleTable(take(offset, length), code);
            printed += countLine(face, code);
            tables[offset] = face;
        }
        result.facePostScriptNames.push_back(face.postScriptName);
        if (!face.name.empty() && std::find(named.begin(), named.end(), face.name) == named.end()) {
            result.name += (named.empty() ? "" : " & ") + face.name;
            named.push_back(face.name);
        }
    }
    return result;
}

// An input stream over the file that counts the bytes the reader takes.
class CountingBuffer : public std::stringbuf {
public:
    explicit CountingBuffer(const std::string &bytes) : std::stringbuf(bytes, std::ios::in) {}
    std::uint64_t taken = 0;

protected:
    std::streamsize xsgetn(char *s, std::streamsize n) override {
        const std::streamsize got = std::stringbuf::xsgetn(s, n);
        taken += static_cast<std::uint64_t>(got);
        return got;
    }
    int_type uflow() override {
        const int_type c = std::stringbuf::uflow();
        if (c != traits_type::eof()) ++taken;
        return c;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size) {
    const std::string file(reinterpret_cast<const char *>(data), size);
    for (const char *code : {"cn", "en", "jp"}) {
        CountingBuffer buffer(file);
        std::istream in(&buffer);
        std::ostringstream printed;
        const FontNames names = readFontNames(in, code, &printed);
        for (const std::string *text : {&names.name, &names.postScriptName, &names.subfamily}) {
            FUZZ_CHECK(fuzzcheck::isValidUtf8(*text));
            FUZZ_CHECK(text->find('\0') == std::string::npos);
        }
        std::string expectedLines;
        const FontNames expected = oracle(file, code, expectedLines);
        FUZZ_CHECK(printed.str() == expectedLines);
        FUZZ_CHECK(names.collection == expected.collection);
        FUZZ_CHECK(names.askedIds == expected.askedIds);
        FUZZ_CHECK(names.language == expected.language);
        FUZZ_CHECK(names.name == expected.name);
        FUZZ_CHECK(names.postScriptName == expected.postScriptName);
        FUZZ_CHECK(names.subfamily == expected.subfamily);
        FUZZ_CHECK(names.facePostScriptNames == expected.facePostScriptNames);
        // A collection costs no more than its size; a single font at most twice its size (its
        // directory and its naming table, each cut at the end) and the header looked at first.
        FUZZ_CHECK(buffer.taken <= (names.collection ? file.size() : 2 * file.size() + 12));
    }
    return 0;
}
