// The temporary fonts of this process as a font collection of their own. The system font
// collection is made of the installed fonts (all users and, from Windows 10 1809, the current
// user); a font resource added with AddFontResource belongs to GDI's font table of the session
// and may be left out of it, so the catalogue lists the files this process registered itself
// from this collection too.
#pragma once

#include "common/Raii.h"

#include <dwrite.h>

#include <string>
#include <vector>

namespace FontManager {

// A collection of every face of the files (UTF-8 paths) that the font system can read, in the
// order given; a file it cannot read (gone, not a font) is left out with one DEBUG line. Empty
// when the factory does not offer font sets (before Windows 10 1703) or no file can be read.
vorla::ComPtr<IDWriteFontCollection> ownCollection(const vorla::ComPtr<IDWriteFactory> &factory,
                                                   const std::vector<std::string> &files);

}  // namespace FontManager
