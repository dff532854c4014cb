#pragma once
// Safe file module: deleting a file only through the handle that was checked, never by its name.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace safefile {

// Which file a handle is: the volume and the file index (they outlive the handle).
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool known = false;
    bool operator==(const FileIdentity &other) const {
        return known && other.known && volume == other.volume && indexHigh == other.indexHigh &&
               indexLow == other.indexLow;
    }
};
FileIdentity identityOf(HANDLE handle);

// Outcome of deleteInFolders.
enum class DeleteOutcome {
    Deleted,
    Outside,    // the opened file does not lie directly in one of the folders: kept
    NotDeleted  // missing, a folder, in use elsewhere or refused: kept
};
// True when the folder of a final path is one of folders (deletableFolders' texts, or the long
// forms of those texts).
bool liesDirectlyIn(const std::wstring &finalPath, const std::vector<std::wstring> &folders);
// Opens the file at path, checks that its final path lies directly in one of folders (final
// paths, as deletableFolders gives them) and deletes it through that handle. A loaded font file
// cannot be opened for deletion on Windows: its resource goes before this (removeFontFile in the
// installation core).
DeleteOutcome deleteInFolders(const std::wstring &path, const std::vector<std::wstring> &folders);
// Deletes the file at path only when it is still the file identified (a copy this process
// made and closed). True when it was deleted.
bool deleteIfSame(const std::wstring &path, const FileIdentity &identity);

// Outcome of deleteNamedFile.
enum class NamedDeletion {
    Deleted,
    Refused,  // not where its name says (a link on the way), or the user may not delete it: kept
    Kept,     // beforeDelete answered false: kept, nothing done
    InUse     // another process holds it, or it went meanwhile: kept
};
// Deletes a file a caller named (the front end's temporary font) as the user who asked could: its
// final path must be the path given (long names, any case) with one link, and the user must hold
// DELETE on it or FILE_DELETE_CHILD on its folder. beforeDelete runs once these checks have passed
// (the font resource goes there: a loaded font file cannot be opened for deleting), then the file
// is opened again for deleting and deleted only when it is still the file checked.
NamedDeletion deleteNamedFile(const std::wstring &path, const std::function<bool()> &beforeDelete);

namespace detail {
// Marks the file of an open handle (opened with DELETE) for deletion: it goes when its last
// handle closes.
bool markForDeletion(HANDLE handle);
}  // namespace detail

}  // namespace safefile
