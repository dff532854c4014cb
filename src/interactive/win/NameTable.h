// Font installation core: reader of the sfnt naming table ("name").
// Portable C++: no platform header, so the reader also builds natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

struct SfntTableRecord {
    char tag[4] = {0, 0, 0, 0};
    std::uint32_t checkSum = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// What the installation core needs from a font's names. Texts are UTF-8.
// A single font fills every field but the last two; a collection only those and the name.
struct FontNames {
    // The registry name: full name (4), else family (1), else PostScript name (6) of the
    // chosen language; "" when that language has none of them or no language was chosen.
    // A collection: each face's name by that rule, in the collection's order, repeats
    // dropped, joined with " & "; "" when no face gives one.
    std::string name;
    // Name ID 6 of the asked language, then "en", "jp", "cn" (Macintosh before Windows),
    // else of the first record of either platform in any language; "" when there is none.
    std::string postScriptName;
    // Name ID 2 of the chosen language, else English; "" when there is none.
    std::string subfamily;
    // The chosen language: the asked code when it has names, else the first of "en",
    // "jp", "cn" that has any (the asked code "en" has no fallback); "" when none has.
    std::string language;
    // Distinct name IDs of the asked language, of any ID: the number of the count line.
    std::size_t askedIds = 0;
    // A font collection ("ttcf", versions 1 and 2).
    bool collection = false;
    // A collection: the PostScript name of each face read, in the collection's order ("" for a
    // face without one). A face listed twice (one offset table) is read and listed once.
    std::vector<std::string> facePostScriptNames;
};

// At most this many faces of a collection are read; the rest are left out.
constexpr std::size_t kMostCollectionFaces = 1024;

// Table directory at the start of the stream; records beyond the end of the file are dropped.
std::vector<SfntTableRecord> readTableDirectory(std::istream &in);
// The naming table found in the directory, read in one piece (cut at the end of the file);
// "" when the directory has none.
std::string readNameTableBytes(std::istream &in, const std::vector<SfntTableRecord> &directory);
// The names of one naming table for the language code ("cn", "en", "jp"; first two
// characters compared). A language counts as present when it has a record of any name
// ID (Macintosh 0/11/33 or Windows 0x0409/0x0411/0x0804); the records are counted, not
// decoded. Only the at most three texts of the result are decoded. A record whose
// string does not lie wholly inside the string storage after the records counts as
// absent. Windows and Macintosh names end at their first NUL. Work is bounded by the
// table's size. Writes the line "------------------<askedIds>" to countLine (when given) for
// codes other than "en".
FontNames chooseNames(std::string_view table, const std::string &code, std::ostream *countLine);
// chooseNames on the stream's naming table (no table: no names), the count line to countLine.
// A collection: chooseNames on each face's naming table, one count line per table; a naming
// table at an offset already read is decoded once, and all the reads of one collection
// together never take more bytes than the file holds (what is left is cut), so a hostile
// collection costs no more than its size.
FontNames readFontNames(std::istream &in, const std::string &code, std::ostream *countLine);
// The same, the count line to standard output.
FontNames readFontNames(std::istream &in, const std::string &code);
// readFontNames(in, code).name.
std::string readFontFamilyName(std::istream &in, const std::string &code);
