// Safe file module: the trusted fonts folders (see SafeFileFolders.h).
#include "common/SafeFileFolders.h"

#include "common/SafeFilePaths.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>

namespace safefile {

using namespace detail;
using vorla::UniqueFileHandle;

namespace {

using GetProfileDirectory = BOOL(WINAPI *)(HANDLE, LPWSTR, LPDWORD);

// userenv is not among the system's known DLLs: loaded once, by name, from the system folder
// only, and kept for the life of the process.
GetProfileDirectory profileDirectoryFunction() {
    static const GetProfileDirectory function = [] {
        const HMODULE userenv = LoadLibraryExW(L"userenv.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return userenv ? reinterpret_cast<GetProfileDirectory>(
                             reinterpret_cast<void (*)()>(GetProcAddress(userenv, "GetUserProfileDirectoryW")))
                       : nullptr;
    }();
    return function;
}

std::wstring profileDirectory() {
    const GetProfileDirectory get = profileDirectoryFunction();
    HANDLE rawToken = nullptr;
    if (!get || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return {};
    const vorla::UniqueHandle token(rawToken);
    DWORD size = 0;
    get(token.get(), nullptr, &size);
    if (size == 0) return {};
    std::wstring directory(size, L'\0');
    if (!get(token.get(), directory.data(), &size)) return {};
    directory.resize(wcsnlen(directory.c_str(), directory.size()));
    return directory;
}

bool tokenElevated() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return true;
    const vorla::UniqueHandle token(rawToken);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return true;
    return elevation.TokenIsElevated != 0;
}

std::wstring knownFontsFolder() {
    PWSTR folder = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Fonts, KF_FLAG_DONT_VERIFY, nullptr, &folder)) && folder)
        result = withoutTrailingSeparator(folder);
    CoTaskMemFree(folder);
    return result;
}

}  // namespace

bool processElevated() {
    static const bool elevated = tokenElevated();  // a token's elevation never changes
    return elevated;
}

std::wstring systemFontsFolder() {
    static const std::wstring folder = knownFontsFolder();
    return folder;
}

std::wstring userFontsFolder(bool elevated) {
    if (elevated) {
        // The profile directory comes from the token (the machine's profile list): the user
        // cannot move it. The rest is fixed text; a link on the way shows when it is opened.
        const std::wstring profile = withoutTrailingSeparator(profileDirectory());
        if (profile.empty()) return {};
        return profile + L"\\AppData\\Local\\Microsoft\\Windows\\Fonts";
    }
    wchar_t buffer[MAX_PATH] = {};
    // As the shell answers, even when it reports the folder missing (it is made on the first install).
    SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_LOCAL_APPDATA, FALSE);
    if (buffer[0] == L'\0') return {};
    return withoutTrailingSeparator(buffer) + L"\\Microsoft\\Windows\\Fonts";
}

std::vector<std::wstring> deletableFolders(bool elevated, FolderScope scope) {
    std::vector<std::wstring> folders;
    const std::wstring path = fullPathOf(scope == FolderScope::AllUsers ? systemFontsFolder()
                                                                        : userFontsFolder(elevated));
    if (rootLength(path) == 0) return folders;
    folders.push_back(path);
    if (elevated) return folders;
    const UniqueFileHandle folder = openFolder(path);
    if (folder) {
        const std::wstring real = finalPathOf(folder.get());
        if (!real.empty() && !samePath(real, path)) folders.push_back(real);
    }
    return folders;
}

FontsFolder FontsFolder::open(const std::wstring &text, bool create, bool strict) {
    FontsFolder result;
    // Only an absolute path: a drive-relative text (no profile known) makes nothing anywhere.
    std::wstring given = withoutLongPrefix(text);
    std::replace(given.begin(), given.end(), L'/', L'\\');
    if (rootLength(given) == 0) return result;
    const std::wstring full = fullPathOf(given);
    if (rootLength(full) == 0) return result;

    // The usual case, a folder that exists: one open. A link or junction anywhere on the way
    // shows in the final path of the opened folder.
    UniqueFileHandle existing = openFolder(full);
    if (existing) {
        const std::wstring real = isFolder(existing.get()) ? finalPathOf(existing.get()) : std::wstring();
        if (real.empty()) return result;
        if (strict && !samePath(real, full) && !samePath(real, longPathOf(full))) {
            result.state_ = State::Redirected;
            result.redirection_ = full + L" -> " + real;
            return result;
        }
        result.chain_.push_back(std::move(existing));
        result.path_ = real;
        result.state_ = State::Open;
        return result;
    }
    if (!create) return result;

    const std::wstring target = longPathOf(full);
    const size_t root = rootLength(target);
    if (root == 0) return result;
    // Walk from the root down, each folder opened (made when missing) and checked before the
    // next one is looked at, so nothing is made under a folder that leads elsewhere.
    size_t end = root;
    for (;;) {
        const size_t next = target.find(L'\\', end);
        const std::wstring step = next == std::wstring::npos ? target : target.substr(0, next);
        const std::wstring expected = step.size() == root ? step.substr(0, root) : step;
        UniqueFileHandle folder = openFolder(expected);
        if (!folder && create && step.size() > root) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                CreateDirectoryW(expected.c_str(), nullptr);  // made meanwhile by another: opened next
                folder = openFolder(expected);
            }
        }
        if (!folder || !isFolder(folder.get())) return result;
        const std::wstring real = finalPathOf(folder.get());
        if (real.empty()) return result;
        if (strict && !samePath(withoutTrailingSeparator(real), withoutTrailingSeparator(expected))) {
            result.state_ = State::Redirected;
            result.redirection_ = expected + L" -> " + real;
            return result;
        }
        result.chain_.push_back(std::move(folder));
        if (next == std::wstring::npos) {
            result.path_ = withoutTrailingSeparator(real);
            result.state_ = State::Open;
            return result;
        }
        end = next + 1;
    }
}

}  // namespace safefile
