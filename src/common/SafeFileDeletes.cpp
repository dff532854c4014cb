// Safe file module: deleting through the checked handle (see SafeFileDeletes.h).
#include "common/SafeFileDeletes.h"

#include "common/Raii.h"
#include "common/SafeFilePaths.h"
#include "common/SafeFileRights.h"

#include <algorithm>

namespace safefile {

using namespace detail;
using vorla::UniqueFileHandle;

bool detail::markForDeletion(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

FileIdentity identityOf(HANDLE handle) {
    FileIdentity identity;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return identity;
    identity.volume = info.dwVolumeSerialNumber;
    identity.indexHigh = info.nFileIndexHigh;
    identity.indexLow = info.nFileIndexLow;
    identity.known = true;
    return identity;
}

bool liesDirectlyIn(const std::wstring &finalPath, const std::vector<std::wstring> &folders) {
    const std::wstring folder = parentOf(finalPath);
    // The texts as given first; their long forms (an 8.3 element in a text) only when none matches.
    return std::any_of(folders.begin(), folders.end(), [&](const std::wstring &f) { return samePath(folder, f); }) ||
           std::any_of(folders.begin(), folders.end(),
                       [&](const std::wstring &f) { return samePath(folder, longPathOf(f)); });
}

DeleteOutcome deleteInFolders(const std::wstring &path, const std::vector<std::wstring> &folders) {
    // A link is opened as itself where the platform allows it (then deleting removes the link
    // only); where it does not (Wine), the target's final path is what gets checked.
    UniqueFileHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                      nullptr));
    if (!file || isFolder(file.get())) return DeleteOutcome::NotDeleted;
    if (!liesDirectlyIn(finalPathOf(file.get()), folders)) return DeleteOutcome::Outside;
    return markForDeletion(file.get()) ? DeleteOutcome::Deleted : DeleteOutcome::NotDeleted;
}

bool deleteIfSame(const std::wstring &path, const FileIdentity &identity) {
    UniqueFileHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || !(identityOf(file.get()) == identity)) return false;
    return markForDeletion(file.get());
}

NamedDeletion deleteNamedFile(const std::wstring &path, const std::function<bool()> &beforeDelete) {
    const std::wstring expected = longPathOf(path);
    if (expected.empty()) return NamedDeletion::Refused;
    // Looked at first without data access, which no other open keeps out (a loaded font's neither).
    const UniqueFileHandle look(CreateFileW(expected.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                            kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!look) return NamedDeletion::InUse;
    if (!isSingleFileAt(look.get(), expected)) return NamedDeletion::Refused;
    if (!userMay(look.get(), DELETE)) {
        const std::wstring folderText = parentOf(expected);
        const UniqueFileHandle folder(CreateFileW((folderText.size() == 2 ? folderText + L"\\" : folderText).c_str(),
                                                  READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder || !samePath(finalPathOf(folder.get()), folderText) || !userMay(folder.get(), FILE_DELETE_CHILD))
            return NamedDeletion::Refused;
    }
    const FileIdentity checked = identityOf(look.get());
    if (beforeDelete && !beforeDelete()) return NamedDeletion::Kept;
    const UniqueFileHandle file(CreateFileW(expected.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return NamedDeletion::InUse;
    if (!(identityOf(file.get()) == checked) || !isSingleFileAt(file.get(), expected)) return NamedDeletion::Refused;
    return markForDeletion(file.get()) ? NamedDeletion::Deleted : NamedDeletion::InUse;
}

}  // namespace safefile
