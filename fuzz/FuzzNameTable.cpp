// The name-table reader: every name is valid UTF-8, Windows names hold no NUL, at most
// kMaxKeptNames names come back, and the result equals a second, plain reading of the
// table written here from the format's rules.
#include "FuzzCheck.h"
#include "common/Text.h"
#include "interactive/win/NameTable.h"

#include <cstdint>
#include <set>
#include <sstream>
#include <tuple>

namespace {

std::uint32_t be(const std::string &b, std::uint64_t at, int width) {
    std::uint32_t v = 0;
    for (int k = 0; k < width; ++k) v = (v << 8) | static_cast<unsigned char>(b[at + k]);
    return v;
}

bool wanted(std::uint32_t platform, std::uint32_t language, std::uint32_t id) {
    if (id != 1 && id != 4 && id != 6) return false;
    if (platform == 1) return language == 0 || language == 11 || language == 33;
    if (platform == 3) return language == 0x0409 || language == 0x0411 || language == 0x0804;
    return false;
}

// The plain reading: whole file in memory, 64-bit arithmetic, one record at a time.
std::vector<FontName> oracle(const std::string &file) {
    std::vector<FontName> names;
    if (file.size() < 12) return names;
    const std::uint64_t tables = be(file, 4, 2);
    std::string table;
    bool found = false;
    for (std::uint64_t i = 0; i < tables && 12 + 16 * (i + 1) <= file.size(); ++i) {
        const std::uint64_t at = 12 + 16 * i;
        if (file.compare(at, 4, "name") != 0) continue;
        const std::uint64_t offset = be(file, at + 8, 4), length = be(file, at + 12, 4);
        if (offset < file.size()) table = file.substr(offset, length);
        found = true;
        break;
    }
    if (!found || table.size() < 6) return names;
    const std::uint64_t count = be(table, 2, 2), storage = be(table, 4, 2);
    if (6 + 12 * count > table.size() || storage < 6 + 12 * count) return names;
    std::set<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> seen;
    for (std::uint64_t r = 0; r < count; ++r) {
        const std::uint64_t at = 6 + 12 * r;
        const std::uint32_t platform = be(table, at, 2), encoding = be(table, at + 2, 2);
        const std::uint32_t language = be(table, at + 4, 2), id = be(table, at + 6, 2);
        const std::uint64_t length = be(table, at + 8, 2), start = storage + be(table, at + 10, 2);
        if (!wanted(platform, language, id) || seen.count({platform, language, id})) continue;
        if (start + length > table.size()) continue;
        seen.insert({platform, language, id});
        FontName name;
        name.platformId = static_cast<int>(platform);
        name.encodingId = static_cast<int>(encoding);
        name.languageId = static_cast<int>(language);
        name.nameId = static_cast<int>(id);
        const std::string raw = table.substr(start, length);
        if (platform == 1) {
            name.text = vorla::codePageToUtf8(0, raw);
        } else {
            std::u16string units;
            for (size_t k = 0; k + 1 < raw.size(); k += 2) {
                const char16_t u = static_cast<char16_t>((static_cast<unsigned char>(raw[k]) << 8) |
                                                         static_cast<unsigned char>(raw[k + 1]));
                if (u == 0) break;
                units += u;
            }
            name.text = vorla::utf16ToUtf8(units);
        }
        names.push_back(name);
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size) {
    const std::string file(reinterpret_cast<const char *>(data), size);
    std::istringstream in(file);
    const std::vector<FontName> names = readNameRecords(in, readTableDirectory(in));
    FUZZ_CHECK(names.size() <= kMaxKeptNames);
    for (const FontName &n : names) {
        FUZZ_CHECK(fuzzcheck::isValidUtf8(n.text));
        FUZZ_CHECK(n.text.find('\0') == std::string::npos);
    }
    const std::vector<FontName> expected = oracle(file);
    FUZZ_CHECK(names.size() == expected.size());
    for (size_t i = 0; i < names.size(); ++i) {
        FUZZ_CHECK(names[i].nameId == expected[i].nameId && names[i].platformId == expected[i].platformId &&
                   names[i].encodingId == expected[i].encodingId && names[i].languageId == expected[i].languageId);
        FUZZ_CHECK(names[i].text == expected[i].text);
    }
    std::istringstream again(file);
    const std::string family = readFontFamilyName(again, "en");  // "en" prints nothing
    FUZZ_CHECK(fuzzcheck::isValidUtf8(family));
    return 0;
}
