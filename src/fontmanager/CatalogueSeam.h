// What the catalogue asks of the font system, recorded in test builds only (VORLA_CATALOGUE_SEAM,
// never set for the shipped binaries). Wine's DirectWrite ignores the update check and lists
// neither per-user nor temporary fonts, so the tests read here what a listing asked for: the
// update check, the files its own collection took, and which faces it read afresh.
#pragma once

#include <string>
#include <vector>

namespace FontManager::seam {

#ifdef VORLA_CATALOGUE_SEAM
// One listing that asked the font system for the system collection.
struct Listing {
    bool updateCheck = false;
    std::vector<std::string> ownFiles;   // the files the own collection took, in order
    std::vector<std::string> facesRead;  // the file of each face read afresh (not reused)
};
// The listings recorded since the last call, oldest first.
std::vector<Listing> take();

void systemCollection(bool updateCheck);  // starts the record of a listing
void ownFile(const std::wstring &path);
void faceRead(const std::wstring &path);
#else
inline void systemCollection(bool) {}
inline void ownFile(const std::wstring &) {}
inline void faceRead(const std::wstring &) {}
#endif

}  // namespace FontManager::seam
