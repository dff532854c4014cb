// The name-table reader: every text is valid UTF-8 without NUL, and the names chosen
// for each language code (the language, the count line, the registry name, PostScript
// name and subfamily) equal a second, plain reading of the table written here from the
// format's rules and the choice's.
#include "FuzzCheck.h"
#include "common/Text.h"
#include "interactive/win/NameTable.h"

#include <cstdint>
#include <iostream>
#include <map>
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

// The plain reading: whole file in memory, 64-bit arithmetic, one record at a time.
FontNames oracle(const std::string &file, const std::string &code) {
    FontNames result;
    std::string table;
    const std::uint64_t tables = file.size() < 12 ? 0 : be(file, 4, 2);
    for (std::uint64_t i = 0; i < tables && 12 + 16 * (i + 1) <= file.size(); ++i) {
        const std::uint64_t at = 12 + 16 * i;
        if (file.compare(at, 4, "name") != 0) continue;
        const std::uint64_t offset = be(file, at + 8, 4), length = be(file, at + 12, 4);
        if (offset < file.size()) table = file.substr(offset, length);
        break;
    }
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size) {
    const std::string file(reinterpret_cast<const char *>(data), size);
    for (const char *code : {"cn", "en", "jp"}) {
        std::istringstream in(file);
        std::ostringstream printed;
        std::streambuf *const out = std::cout.rdbuf(printed.rdbuf());
        const FontNames names = readFontNames(in, code);
        std::cout.rdbuf(out);
        for (const std::string *text : {&names.name, &names.postScriptName, &names.subfamily}) {
            FUZZ_CHECK(fuzzcheck::isValidUtf8(*text));
            FUZZ_CHECK(text->find('\0') == std::string::npos);
        }
        const FontNames expected = oracle(file, code);
        FUZZ_CHECK(printed.str() ==
                   (std::string(code) == "en" ? "" : "------------------" + std::to_string(expected.askedIds) + "\n"));
        FUZZ_CHECK(names.askedIds == expected.askedIds);
        FUZZ_CHECK(names.language == expected.language);
        FUZZ_CHECK(names.name == expected.name);
        FUZZ_CHECK(names.postScriptName == expected.postScriptName);
        FUZZ_CHECK(names.subfamily == expected.subfamily);
    }
    return 0;
}
