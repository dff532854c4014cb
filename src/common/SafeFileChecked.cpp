// Safe file module: checked reads and writes of named files (see SafeFileChecked.h).
#include "common/SafeFileChecked.h"

#include "common/NamedFile.h"
#include "common/SafeFileDeletes.h"
#include "common/SafeFileFolders.h"
#include "common/SafeFilePaths.h"
#include "common/SafeFileRights.h"

#include <functional>

namespace safefile {

using namespace detail;
using vorla::UniqueFileHandle;

namespace {

Network networkRule() { return processElevated() ? Network::Refused : Network::Allowed; }

// An existing file opened with access (READ_CONTROL added) when it is where its text says and
// usable decides; a missing one created new with that access in a folder that is where its text
// says and where the user may create files. The folder stays open meanwhile, so it cannot be
// swapped for a link between the check and the creation. Invalid otherwise.
UniqueFileHandle openOrCreate(const std::wstring &path, DWORD access, DWORD share,
                              const std::function<bool(HANDLE)> &usable) {
    const std::wstring expected = longPathOf(path);
    if (expected.empty() || !nameable(expected, networkRule())) return {};
    // Opened without truncation, and checked before anything is written.
    UniqueFileHandle file(CreateFileW(expected.c_str(), access | READ_CONTROL | FILE_READ_ATTRIBUTES, share, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file) {
        if (GetFileType(file.get()) != FILE_TYPE_DISK || !isSingleFileAt(file.get(), expected) || !usable(file.get()))
            return {};
        return file;
    }
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return {};

    const std::wstring folderText = parentOf(expected);
    const UniqueFileHandle folder(CreateFileW((folderText.size() == 2 ? folderText + L"\\" : folderText).c_str(),
                                              READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder || !isFolder(folder.get()) || !samePath(finalPathOf(folder.get()), folderText) ||
        !userMay(folder.get(), FILE_ADD_FILE))
        return {};
    file.reset(CreateFileW(expected.c_str(), access | DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, share, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    if (!isSingleFileAt(file.get(), longPathOf(expected))) {
        markForDeletion(file.get());
        return {};
    }
    return file;
}

bool isEmpty(HANDLE file) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) && size.QuadPart == 0;
}

}  // namespace

UniqueFileHandle openCheckedForReading(const std::wstring &path) {
    const std::wstring expected = longPathOf(path);
    if (expected.empty()) return {};
    UniqueFileHandle file = openNamed(expected, networkRule());
    if (!file || !isSingleFileAt(file.get(), expected) || !userMay(file.get(), FILE_READ_DATA)) return {};
    return file;
}

UniqueFileHandle openCheckedForWriting(const std::wstring &path) {
    return openOrCreate(path, GENERIC_WRITE, FILE_SHARE_READ,
                        [](HANDLE file) { return isEmpty(file) && userMay(file, FILE_WRITE_DATA); });
}

UniqueFileHandle openCheckedForAppending(const std::wstring &path) {
    return openOrCreate(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        [](HANDLE file) { return userMay(file, FILE_APPEND_DATA); });
}

}  // namespace safefile
