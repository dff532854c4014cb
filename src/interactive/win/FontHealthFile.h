// Font health: the verdict on one opened file, "is this a font the system can load?", from the
// name reader's bounds (the table directory of an sfnt file or of each face of a collection
// must lie inside the file) and from the font system (IDWriteFontFile::Analyze). The font system
// reads the file through the handle given, never by a name, and the header both look at is read
// from the disk once. GDI (AddFontResource) is never asked: it would change load counts.
#pragma once

#include <windows.h>

#include "common/Raii.h"

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>

namespace health {

// Which file a handle is, cheaply: the file system's index of the file (unique on its volume),
// with its size and last write time, which two files of two volumes will not share as well.
// (safefile::identityOf asks for the volume's serial number, which costs Wine a look at every
// mount point, a third of a millisecond per file.)
struct FileKey {
    std::uint64_t index = 0;
    std::int64_t size = 0;
    std::int64_t written = 0;
    bool known = false;
    bool operator<(const FileKey &other) const {
        return std::tie(index, size, written) < std::tie(other.index, other.size, other.written);
    }
    bool operator==(const FileKey &other) const {
        return known && other.known && index == other.index && size == other.size && written == other.written;
    }
};
FileKey keyOf(HANDLE file);

// What the check knows of a file.
struct FileFacts {
    bool font = false;    // a font file: an intact sfnt or collection the font system supports, or a
                          // font of another kind the system loads (.fon, .fnt, Type 1)
    std::string problem;  // why it is no font (when font is false)
    std::int64_t size = -1;
    std::uint32_t fontRevision = 0;  // head.fontRevision of the (first) face; 0 when none
    std::string postscriptName;      // only when asked for
};

// DirectWrite, loaded from the system folder by name (dwrite.dll is no known DLL: an elevated
// Marlet must not import it, or a DLL beside it would be loaded first), with a loader that
// serves the font system's reads from the handle examineFile is given. One per check or repair;
// without the font system (it cannot be loaded) the name reader's verdict stands alone.
class FontSystem {
public:
    FontSystem();
    ~FontSystem();
    FontSystem(const FontSystem &) = delete;
    FontSystem &operator=(const FontSystem &) = delete;

    struct Parts;

private:
    friend FileFacts examineFile(HANDLE file, FontSystem &fonts, bool withNames);
    std::unique_ptr<Parts> parts_;
};

// The facts of the opened file, read from its start; withNames reads its naming table too.
FileFacts examineFile(HANDLE file, FontSystem &fonts, bool withNames);

}  // namespace health
