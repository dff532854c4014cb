// The font catalogue of the library: the installed faces as getAvailableFonts lists them, again
// and again over the life of the front end. The list of the last listing is kept and handed out
// again while nothing it came from changed (FontSources.h: both Fonts keys and both fonts
// folders; this process's temporary fonts; the family locale; nothing reported through
// markStale). Otherwise the collection is built again, and what each face cost to read is taken
// from the last listing where the face is the same (FaceReads). The result is always the list an
// enumeration of its own would give.
//
// Safe for calls from several threads at once; it starts no thread. One listing builds at a
// time, and a call that waited for it takes its list when nothing changed meanwhile.
#pragma once

#include "fontmanager/FaceReads.h"
#include "fontmanager/FontManager.h"
#include "fontmanager/FontSources.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace FontManager {

class FontCatalogue {
public:
    FontCatalogue();
    FontCatalogue(const FontCatalogue &) = delete;
    FontCatalogue &operator=(const FontCatalogue &) = delete;
    ~FontCatalogue();

    // Every installed face, with family names in familyLocale (FontManagerImpl::getAvailableFonts,
    // this process's temporary fonts included); an empty list when the font system cannot be
    // opened (that list is not kept).
    std::shared_ptr<const FontList> list(const std::string &familyLocale);

    // This process registered the font file at path as a font resource once more, or removed one
    // of its registrations. Its faces are listed while it has any.
    void temporaryFontAdded(const std::string &path);
    void temporaryFontRemoved(const std::string &path);

    // A change that the sources do not show (a font registered for the session by another
    // program, announced by its WM_FONTCHANGE broadcast) or that they may show too late (an
    // install or uninstall of this process): the next listing builds the collection again.
    void markStale() noexcept;

private:
    struct Kept {
        std::shared_ptr<const FontList> list;
        SourceStamps stamps;
        std::string locale;
        std::uint64_t changes = 0;
    };
    // The kept list when it is still the answer for familyLocale; the stamps and the change
    // count it was judged by are left in *stamps and *changes.
    std::shared_ptr<const FontList> keptList(const std::string &familyLocale, SourceStamps *stamps,
                                             std::uint64_t *changes) const;
    std::vector<std::string> temporaryFiles() const;

    // Changes reported to the catalogue (markStale, the temporary fonts); a kept list is current
    // only for the count it was built at.
    std::atomic<std::uint64_t> changes_{0};
    mutable std::mutex stateMutex_;  // kept_ and temporary_, held for no platform call
    std::shared_ptr<const Kept> kept_;
    std::vector<std::pair<std::wstring, int>> temporary_;  // path, registrations; in order of the first
    std::mutex buildMutex_;                                // one listing builds at a time; guards reads_
    FaceReads reads_;
};

}  // namespace FontManager
