// Safe file module: paths as Windows names them (see SafeFilePaths.h).
#include "common/SafeFilePaths.h"

#include <algorithm>
#include <cwctype>

namespace safefile {

namespace detail {

std::wstring withoutLongPrefix(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

std::wstring withoutTrailingSeparator(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

size_t rootLength(const std::wstring &path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\' && std::iswalpha(path[0])) return 3;
    if (path.rfind(L"\\\\", 0) == 0 && path.rfind(L"\\\\?\\", 0) != 0 && path.rfind(L"\\\\.\\", 0) != 0) {
        const size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos || server == 2) return 0;
        const size_t share = path.find(L'\\', server + 1);
        if (share == std::wstring::npos) return 0;
        return share + 1;
    }
    return 0;
}

vorla::UniqueFileHandle openFolder(const std::wstring &path) {
    return vorla::UniqueFileHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool isFolder(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isSingleFileAt(HANDLE handle, const std::wstring &expected) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || info.nNumberOfLinks != 1) return false;
    return !expected.empty() && samePath(finalPathOf(handle), expected);
}

bool isDeviceName(std::wstring stem) {
    for (wchar_t &c : stem) c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t *const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t *device : devices)
        if (stem == device) return true;
    return stem.size() == 4 && (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0) && stem[3] >= L'0' &&
           stem[3] <= L'9';
}

}  // namespace detail

using namespace detail;

std::wstring finalPathOf(HANDLE handle) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return withoutTrailingSeparator(withoutLongPrefix(buffer));
        }
        buffer.assign(length + 1, L'\0');
    }
    return {};
}

std::wstring fullPathOf(const std::wstring &text) {
    if (text.empty()) return {};
    const DWORD size = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(text.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return withoutTrailingSeparator(withoutLongPrefix(full));
}

std::wstring longPathOf(const std::wstring &text) {
    const std::wstring full = fullPathOf(text);
    if (rootLength(full) == 0) return {};
    // The long form of the part that exists; the missing rest is kept as written.
    std::wstring existing = full, rest;
    std::wstring buffer(32768, L'\0');
    for (;;) {
        const DWORD found = GetLongPathNameW(existing.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (found != 0 && found < buffer.size()) {
            std::wstring head = withoutTrailingSeparator(buffer.substr(0, found));
            if (!head.empty() && head.back() == L'\\' && !rest.empty()) rest.erase(0, 1);
            return head + rest;
        }
        const size_t root = rootLength(existing);
        const size_t slash = existing.rfind(L'\\');
        if (existing.size() <= root || slash == std::wstring::npos || slash + 1 < root) return full;
        rest = existing.substr(slash) + rest;
        existing.resize(std::max(slash, root));
    }
}

bool samePath(const std::wstring &a, const std::wstring &b) {
    if (a.empty() || b.empty()) return false;
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring parentOf(const std::wstring &path) {
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return {};
    return withoutTrailingSeparator(path.substr(0, slash + 1));
}

}  // namespace safefile
