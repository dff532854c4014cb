// Font installation core: what a font is. Two installs, or an install and an entry, are of the
// same font only when this says so; everything else is another font, whose copy and entry an
// install never takes, rewrites or deletes.
#pragma once

#include <windows.h>

#include "common/Raii.h"
#include "interactive/win/NameTable.h"

#include <string>
#include <vector>

// A single font is its PostScript name, a collection the set of its faces' PostScript names.
// A font without a PostScript name (a collection: with a face without one) is known by its
// bytes only.
struct FontIdentity {
    std::vector<std::string> postScriptNames;  // sorted, without repeats; empty: by its bytes only
    bool byBytes() const { return postScriptNames.empty(); }
    bool operator==(const FontIdentity &other) const { return postScriptNames == other.postScriptNames; }
};

FontIdentity fontIdentityOf(const FontNames &names);

// A font file that a text names (a source, an entry's data), opened and read once.
struct NamedFont {
    vorla::UniqueFileHandle file;  // invalid when the text names no disk file that could be opened
    FontNames names;               // read with the install's language ("cn"), without the count line
    FontIdentity identity;
    explicit operator bool() const { return static_cast<bool>(file); }
};
// Opens the file through the safe module (safefile::openNamed: no device, pipe, console or share,
// identification-level impersonation, a disk file only) and reads its names (bounded by the
// file's size). A bare file name (an all-users entry) is taken in folder.
NamedFont readNamedFont(const std::string &text, const std::string &folder = {});

// The same font: equal PostScript names, not empty; two fonts known by their bytes only are the
// same when their bytes are (the handles are read from their starts). A font that could not be
// read is never the same as any.
bool sameFont(const NamedFont &a, const NamedFont &b);
bool sameFont(const FontIdentity &a, HANDLE aFile, const FontIdentity &b, HANDLE bFile);
