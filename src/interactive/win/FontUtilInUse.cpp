// Font installation core: deleting font files that may be loaded or in use (see FontUtil.h).
//
// On Windows the font table holds a loaded font file open with read sharing only, so an open for
// deletion fails until every load of it is removed; an application (or the font cache service)
// that has the file open keeps it from being deleted even then. Wine 8 holds no file it loads,
// which is why these rules are shown with a stand-in for the table (tests/fonttable/).
#include "FontUtil.h"
#include "interactive/win/Journal.h"

#include "common/PlatformError.h"
#include "common/Raii.h"
#include "common/SafeFile.h"
#include "easylogging++.h"

#include <algorithm>

using vorla::utf8ToWide;
using vorla::wideToUtf8;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr const wchar_t *kSessionManagerKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

}  // namespace

bool heldOpen(const std::string &path) {
    const vorla::UniqueFileHandle file(
        CreateFileW(utf8ToWide(path).c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

FontFileRemoval removeFontFile(HKEY root, const std::string &path, std::wstring &file) {
    const std::wstring wide = utf8ToWide(path);
    const std::vector<std::wstring> folders = safefile::deletableFolders(
        safefile::processElevated(),
        root == HKEY_CURRENT_USER ? safefile::FolderScope::CurrentUser : safefile::FolderScope::AllUsers);
    {
        // Where the file lies, judged on a handle that asks for its attributes only: no sharing mode
        // refuses that, so a loaded file is opened too. Without delete sharing, the name stays this
        // file's while its resource goes (the table knows a file by the name it was loaded with).
        const vorla::UniqueFileHandle opened(
            CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!opened) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FontFileRemoval::Missing;
            return error == ERROR_SHARING_VIOLATION ? FontFileRemoval::InUse : FontFileRemoval::Refused;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        const std::wstring real = safefile::finalPathOf(opened.get());
        if (!GetFileInformationByHandle(opened.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            real.empty() || !safefile::liesDirectlyIn(real, folders))
            return FontFileRemoval::Outside;
        file = real;
        // 1. Every load of the file, this session's and other programs': the file is going away.
        unloadFontResource(path);
    }
    // 2. The file, through a handle checked again.
    switch (safefile::deleteInFolders(wide, folders)) {
    case safefile::DeleteOutcome::Deleted:
        return FontFileRemoval::Deleted;
    case safefile::DeleteOutcome::Outside:
        return FontFileRemoval::Outside;
    case safefile::DeleteOutcome::NotDeleted:
        break;
    }
    if (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return FontFileRemoval::Missing;
    return heldOpen(path) ? FontFileRemoval::InUse : FontFileRemoval::Refused;
}

FontFileFate deleteFontFile(HKEY root, const std::string &path, const std::string &what) {
    std::wstring file;
    switch (removeFontFile(root, path, file)) {
    case FontFileRemoval::Deleted:
        return FontFileFate::Deleted;
    case FontFileRemoval::Outside:
        return FontFileFate::Outside;
    case FontFileRemoval::Missing:
        return FontFileFate::Missing;
    case FontFileRemoval::Refused:
        LOG(WARNING) << scopeTag(root) << "\t" << what << "\t[保留]\t(" << path << ")";
        return FontFileFate::Kept;
    case FontFileRemoval::InUse:
        break;
    }
    if (file.empty()) {  // held by a handle that refused even the look at its attributes
        LOG(WARNING) << scopeTag(root) << "\t" << what << "\t[保留]\t(" << path << ")";
        return FontFileFate::Kept;
    }
    // The journal's record, which every later run retries until the file goes; in the all-users
    // folder the boot deletes it too, by name (nothing but administrators writes there).
    const bool recorded = !journal::addInUse(root, wideToUtf8(file)).empty();
    bool atBoot = false;
    if (root != HKEY_CURRENT_USER) {
        atBoot = MoveFileExW(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
        if (!atBoot) vorla::logPlatformCode("MoveFileExW", GetLastError());
    }
    if (!recorded && !atBoot) {
        LOG(WARNING) << scopeTag(root) << "\t" << what << "\t[保留]\t(" << path << ")";
        return FontFileFate::Kept;
    }
    LOG(INFO) << scopeTag(root) << "\t" << what << "\t[稍后删除]" << (atBoot ? "\t[重启时删除]" : "") << "\t(" << path
              << ")";
    return FontFileFate::Later;
}

std::vector<std::wstring> pendingAtBoot() {
    std::vector<std::wstring> paths;
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManagerKey, L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ,
                     nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return paths;
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManagerKey, L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ,
                     nullptr, data.data(), &bytes) != ERROR_SUCCESS)
        return paths;
    data.resize(bytes / sizeof(wchar_t));
    // Pairs of texts: the file, then its new name ("" to delete it; "!" before it to replace what is
    // there). Both name a file the boot takes away or puts in place.
    for (size_t start = 0; start < data.size();) {
        size_t end = data.find(L'\0', start);
        if (end == std::wstring::npos) end = data.size();
        std::wstring text = data.substr(start, end - start);
        start = end + 1;
        if (!text.empty() && text[0] == L'!') text.erase(0, 1);
        if (text.rfind(L"\\??\\", 0) == 0) text.erase(0, 4);
        if (!text.empty()) paths.push_back(std::move(text));
    }
    return paths;
}

bool listedAtBoot(const std::vector<std::wstring> &pending, const std::wstring &path) {
    return std::any_of(pending.begin(), pending.end(),
                       [&](const std::wstring &listed) { return safefile::samePath(listed, path); });
}
