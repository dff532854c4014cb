// Font installation core: reader of the sfnt naming table ("name").
// Portable C++: no platform header, so the reader also builds natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct SfntTableRecord {
    char tag[4] = {0, 0, 0, 0};
    std::uint32_t checkSum = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

struct FontName {
    int nameId = 0;
    int platformId = 0;
    int encodingId = 0;
    int languageId = 0;
    std::string text;  // UTF-8
};

// Name IDs and languages the reader keeps: full name, family and PostScript name in
// Chinese, English and Japanese, Macintosh and Windows platform: at most this many names.
constexpr std::size_t kMaxKeptNames = 3 * 3 * 2;

// Table directory at the start of the stream; records beyond the end of the file are dropped.
std::vector<SfntTableRecord> readTableDirectory(std::istream &in);
// Names of the naming table found in the directory, read in one piece (cut at the end of the file).
std::vector<FontName> readNameRecords(std::istream &in, const std::vector<SfntTableRecord> &directory);
// Names of one naming table, in record order. Every string must lie inside the table's
// string storage, after the records; the first valid record of each name ID, platform
// and language that the language preference can use is kept and decoded, the rest are
// skipped undecoded. Windows names end at their first NUL, Macintosh names too.
// Work and memory are bounded by the table's size.
std::vector<FontName> readNameTable(std::string_view table);
// Language codes: "cn", "en", "jp" (first two characters compared).
std::map<int, std::string> namesForLanguage(const std::vector<FontName> &names, const std::string &code);
// Tries code, then "en", "jp", "cn"; prints "------------------<n>" to stdout for codes other than "en".
std::map<int, std::string> namesWithFallback(const std::vector<FontName> &names, const std::string &code);
// Full name, else family, else PostScript name in the chosen language; "" when none.
std::string readFontFamilyName(std::istream &in, const std::string &code);
