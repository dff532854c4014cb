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
// Opens the file at path, checks that its final path lies directly in one of folders (final
// paths, as deletableFolders gives them) and deletes it through that handle. beforeDelete, when
// given, runs once the check has passed, while the checked handle is open (the font resource of
// the file goes there: a loaded font file cannot be deleted).
DeleteOutcome deleteInFolders(const std::wstring &path, const std::vector<std::wstring> &folders,
                              const std::function<void()> &beforeDelete = {});
// Deletes the file at path only when it is still the file identified (a copy this process
// made and closed). True when it was deleted.
bool deleteIfSame(const std::wstring &path, const FileIdentity &identity);

namespace detail {
// Marks the file of an open handle (opened with DELETE) for deletion: it goes when its last
// handle closes.
bool markForDeletion(HANDLE handle);
}  // namespace detail

}  // namespace safefile
