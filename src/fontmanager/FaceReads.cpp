#include "fontmanager/FaceReads.h"

namespace FontManager {

void FaceReads::begin(const std::string &familyLocale) {
    if (familyLocale != locale_) {
        reads_.clear();
        locale_ = familyLocale;
    }
    ++listing_;
}

FaceReads::Read *FaceReads::find(const std::string &key) {
    const auto found = reads_.find(key);
    if (found == reads_.end()) return nullptr;
    found->second.listing = listing_;
    return &found->second.read;
}

FaceReads::Read &FaceReads::keep(const std::string &key) {
    Kept &kept = reads_[key];
    kept.listing = listing_;
    return kept.read;
}

void FaceReads::end() {
    for (auto it = reads_.begin(); it != reads_.end();) {
        if (it->second.listing == listing_) {
            ++it;
        } else {
            it = reads_.erase(it);
        }
    }
}

}  // namespace FontManager
