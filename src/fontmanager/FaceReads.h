// What the catalogue read of each face, kept from one listing for the next: the faces of a
// collection built again are mostly the faces of the last one, and reading a face (its names,
// its file, its monospace flag) costs the font system far more than identifying it.
#pragma once

#include "fontmanager/FontManager.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

namespace FontManager {

class FaceReads {
public:
    struct Read {
        std::string postscriptName;
        // The face's record; null when only its name was read (it was listed under the
        // name of a face before it).
        std::unique_ptr<FontDescriptor> descriptor;
    };

    // Starts a listing whose family names are in familyLocale; the reads of another
    // locale are forgotten.
    void begin(const std::string &familyLocale);
    // The read kept under key (faceReadKey), marked as used by this listing; null when none.
    Read *find(const std::string &key);
    // The read under key for later listings, empty when new, marked as used by this listing.
    Read &keep(const std::string &key);
    // Ends a listing that walked the whole collection: every read it did not use is forgotten.
    void end();
    std::size_t size() const { return reads_.size(); }

private:
    struct Kept {
        Read read;
        std::uint64_t listing = 0;  // the last listing that used it
    };
    std::unordered_map<std::string, Kept> reads_;
    std::string locale_;
    std::uint64_t listing_ = 0;
};

}  // namespace FontManager
