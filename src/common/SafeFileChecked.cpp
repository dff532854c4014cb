// Safe file module: checked reads and writes of named files (see SafeFileChecked.h).
#include "common/SafeFileChecked.h"

#include "common/SafeFileDeletes.h"
#include "common/SafeFilePaths.h"

namespace safefile {

using namespace detail;
using vorla::UniqueFileHandle;

UniqueFileHandle openCheckedForReading(const std::wstring &path) {
    const std::wstring expected = longPathOf(path);
    if (expected.empty()) return {};
    UniqueFileHandle file(CreateFileW(expected.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || !isSingleFileAt(file.get(), expected)) return {};
    return file;
}

UniqueFileHandle openCheckedForWriting(const std::wstring &path) {
    const std::wstring expected = longPathOf(path);
    if (expected.empty()) return {};
    // An existing file: opened without truncation, checked, then emptied through the handle.
    UniqueFileHandle file(CreateFileW(expected.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file) {
        if (!isSingleFileAt(file.get(), expected)) return {};
        LARGE_INTEGER start{};
        if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) return {};
        return file;
    }
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return {};

    // A missing file: made new, only in a folder that is where its text says; the folder stays
    // open meanwhile, so it cannot be swapped for a link between the check and the creation.
    const std::wstring folderText = parentOf(expected);
    const UniqueFileHandle folder = openFolder(folderText.size() == 2 ? folderText + L"\\" : folderText);
    if (!folder || !isFolder(folder.get()) || !samePath(finalPathOf(folder.get()), folderText)) return {};
    file.reset(CreateFileW(expected.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    if (!isSingleFileAt(file.get(), longPathOf(expected))) {
        markForDeletion(file.get());
        return {};
    }
    return file;
}

}  // namespace safefile
