// The recorder behind CatalogueSeam.h; empty in the shipped binaries.
#include "fontmanager/CatalogueSeam.h"

#ifdef VORLA_CATALOGUE_SEAM
#include "common/Text.h"

#include <mutex>
#include <utility>

namespace FontManager::seam {

namespace {

// Listings may run on several threads at once; each thread records into its own listing.
std::mutex recordMutex;
std::vector<Listing> recorded;
thread_local std::size_t current = 0;  // 1 + the index of this thread's listing; 0 for none

Listing *currentListing() { return current == 0 || current > recorded.size() ? nullptr : &recorded[current - 1]; }

}  // namespace

std::vector<Listing> take() {
    const std::lock_guard<std::mutex> lock(recordMutex);
    current = 0;
    return std::exchange(recorded, {});
}

void systemCollection(bool updateCheck) {
    const std::lock_guard<std::mutex> lock(recordMutex);
    recorded.push_back({updateCheck, {}, {}});
    current = recorded.size();
}

void ownFile(const std::wstring &path) {
    const std::lock_guard<std::mutex> lock(recordMutex);
    if (Listing *listing = currentListing()) listing->ownFiles.push_back(vorla::wideToUtf8(path));
}

void faceRead(const std::wstring &path) {
    const std::lock_guard<std::mutex> lock(recordMutex);
    if (Listing *listing = currentListing()) listing->facesRead.push_back(vorla::wideToUtf8(path));
}

}  // namespace FontManager::seam
#endif
