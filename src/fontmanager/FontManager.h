// Font catalogue: the installed font faces as the system font collection
// (DirectWrite) lists them, with file path, names and a few style properties.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
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

// The enumerator; one instance serves one enumeration and keeps nothing between calls.
class FontManagerImpl {
public:
    // How the PostScript names for the duplicate test are read; both give the same list.
    // FaceReferences reads the name once per face of a font file, found through the
    // face reference (IDWriteFont3), and hands it to the faces made from the same file
    // face (the simulated bold and oblique ones). FaceObjects, and FaceReferences for a
    // font without the newer interface, reads every face's own name.
    enum class Lookup { FaceReferences, FaceObjects };

    explicit FontManagerImpl(Lookup lookup = Lookup::FaceReferences);
    virtual ~FontManagerImpl();

    // Lists every face of the system collection in collection order, one face per
    // PostScript name (the first wins). Family names are looked up in familyLocale,
    // then "en-us", then the first name of the set. Returns S_OK with *list set, or
    // the font system's error code with *list left empty when the collection cannot
    // be opened. A family or face that cannot be read is left out.
    HRESULT getAvailableFonts(std::unique_ptr<FontList> *list, const std::string &familyLocale);

private:
    Lookup lookup_;
};

}  // namespace FontManager
