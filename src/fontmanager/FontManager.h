// Font catalogue: the installed font faces as the system font collection
// (DirectWrite) lists them, with file path, names and a few style properties.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace FontManager {

// One enumerated face. Texts are UTF-8.
class FontDescriptor {
public:
    FontDescriptor(std::string path, std::string postscriptName, std::string family, std::string style, int weight,
                   int width, bool italic, bool monospace);
    virtual ~FontDescriptor();

    std::string path;
    std::string postscriptName;  // "" when the face has none
    std::string family;          // Win32 family name in the requested locale
    std::string style;           // Win32 subfamily name, "zh-CN" first
    int weight;                  // 1-999
    int width;                   // stretch 1-9
    bool italic;                 // oblique is not italic
    bool monospace;
};

using FontList = std::vector<std::unique_ptr<FontDescriptor>>;

// What tells a face of a font file apart from the others before its names are read:
// the file (its loader object and reference key), the index of the face in the file and,
// for a named instance of a variable font, its axis values. Simulated bold and oblique
// faces are made from a file face and share its identity (and its PostScript name); the
// named instances of one variable file face each have their own (and their own names).
struct FileFace {
    const void *loader = nullptr;
    std::uint32_t faceIndex = 0;
    std::string_view referenceKey;
    std::vector<std::pair<std::uint32_t, float>> axisValues;  // tag, value, as the face reference gives them
};

// The identity as one comparable text: equal texts for equal file faces and nothing else.
std::string fileFaceIdentity(const FileFace &face);

// What identifies a face's read from one listing to the next, with a fresh font system each
// time: its file's full path and last write time (from the local file loader), the index of
// the face in the file, the simulations and, for a named instance, its axis values.
struct FaceRead {
    std::wstring_view path;
    std::uint64_t lastWritten = 0;  // FILETIME
    std::uint32_t faceIndex = 0;
    std::uint32_t simulations = 0;  // DWRITE_FONT_SIMULATIONS
    std::vector<std::pair<std::uint32_t, float>> axisValues;
};

// The key as one comparable text: equal texts for equal reads and nothing else.
std::string faceReadKey(const FaceRead &read);

class FaceReads;

// The enumerator. One instance serves one enumeration; what it read of each face can be kept
// for the next enumeration in a FaceReads that the caller owns.
class FontManagerImpl {
public:
    // How the PostScript names for the duplicate test are read; both give the same list.
    // FaceReferences reads the name once per file face (fileFaceIdentity, found through
    // the face reference of IDWriteFont3 and IDWriteFontFaceReference1) and hands it to
    // the faces made from the same file face (the simulated bold and oblique ones).
    // FaceObjects, and FaceReferences for a font without the newer interfaces, reads
    // every face's own name.
    enum class Lookup { FaceReferences, FaceObjects };

    // reuse: the reads of earlier enumerations, taken for the faces they identify
    // (faceReadKey) and left holding this enumeration's reads; null reads every face.
    // Only FaceReferences identifies faces that way.
    explicit FontManagerImpl(Lookup lookup = Lookup::FaceReferences, FaceReads *reuse = nullptr);
    virtual ~FontManagerImpl();

    // Lists every face of the system collection in collection order, then the faces of
    // ownFiles (font files this process registered as temporary fonts, which the system
    // collection may leave out) that are not listed yet, one face per PostScript name (the
    // first wins). The system collection is asked for with the update check, so that a font
    // just installed is in it. Family names are looked up in familyLocale, then "en-us",
    // then the first name of the set. Returns S_OK with *list set, or the font system's
    // error code with *list left empty when the system collection cannot be opened. A
    // family, face or own file that cannot be read is left out.
    HRESULT getAvailableFonts(std::unique_ptr<FontList> *list, const std::string &familyLocale,
                              const std::vector<std::string> &ownFiles = {});

private:
    Lookup lookup_;
    FaceReads *reuse_;
};

}  // namespace FontManager
