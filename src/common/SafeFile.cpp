// Safe file work for installs and uninstalls (see SafeFile.h).
#include "common/SafeFile.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cwctype>

namespace safefile {

namespace {

using vorla::UniqueFileHandle;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring withoutLongPrefix(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

std::wstring withoutTrailingSeparator(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

// The length of the root of an absolute path ("C:\" or "\\server\share\"); 0 for any other text.
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

// A folder opened for looking at it: no data access, so it keeps no one else from opening it;
// without delete sharing, so it cannot be renamed or removed while it is open.
UniqueFileHandle openFolder(const std::wstring &path) {
    return UniqueFileHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool isFolder(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A file (not a folder) with exactly one link whose final path is expected.
bool isSingleFileAt(HANDLE handle, const std::wstring &expected) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || info.nNumberOfLinks != 1) return false;
    return !expected.empty() && samePath(finalPathOf(handle), expected);
}

bool markForDeletion(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool isDeviceName(std::wstring stem) {
    for (wchar_t &c : stem) c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t *const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t *device : devices)
        if (stem == device) return true;
    return stem.size() == 4 && (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0) && stem[3] >= L'0' &&
           stem[3] <= L'9';
}

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

}  // namespace

// ---------------------------------------------------------------------------
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

std::wstring safeBaseName(const std::wstring &name) {
    std::wstring base = name.substr(0, name.find(L':'));  // "a.ttf:stream" -> "a.ttf"
    for (wchar_t &c : base) {
        if (c < 32 || wcschr(L"<>\"/\\|?*", c) != nullptr) c = L'_';
    }
    while (!base.empty() && (base.back() == L'.' || base.back() == L' ')) base.pop_back();
    if (base.empty()) return L"font";
    if (isDeviceName(base.substr(0, base.find(L'.')))) base = L"_" + base;
    return base;
}

// ---------------------------------------------------------------------------
namespace {

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

// ---------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------
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

std::wstring chainName(const std::wstring &name, unsigned n) {
    return n == 0 ? name : std::to_wstring(n - 1) + L"_" + name;
}

NewFile::NewFile(UniqueFileHandle handle, std::wstring path) : handle_(std::move(handle)), path_(std::move(path)) {}

NewFile::~NewFile() {
    if (handle_) discard();
}

bool NewFile::discard() {
    if (!handle_) return false;
    const bool deleted = markForDeletion(handle_.get());
    handle_.reset();  // the file goes when its last handle closes
    return deleted;
}

FileIdentity NewFile::keep() {
    const FileIdentity identity = identityOf(handle_.get());
    handle_.reset();
    return identity;
}

bool NewFile::flush() { return handle_ && FlushFileBuffers(handle_.get()) != FALSE; }

bool NewFile::renameInFolder(const FontsFolder &folder, const std::wstring &name) {
    if (!handle_ || folder.state() != FontsFolder::State::Open) return false;
    constexpr unsigned kMostTries = 100000;
    for (unsigned n = 0; n < kMostTries; ++n) {
        const std::wstring candidate = folder.path() + L"\\" + chainName(name, n);
        if (GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) continue;  // taken
        // A rename that never replaces: a name taken since the look fails with "exists".
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + candidate.size() * sizeof(wchar_t));
        auto *rename = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
        rename->ReplaceIfExists = FALSE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(candidate.size() * sizeof(wchar_t));
        std::copy(candidate.begin(), candidate.end(), rename->FileName);
        if (!SetFileInformationByHandle(handle_.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return false;
        }
        path_ = candidate;
        return samePath(parentOf(finalPathOf(handle_.get())), folder.path());
    }
    return false;
}

namespace {

constexpr const wchar_t *kTemporaryPrefix = L"~vorla-";
constexpr const wchar_t *kTemporarySuffix = L".tmp";

// When a process started: with its id, it names one process for good (ids are reused).
std::uint64_t startOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// True unless the process that made a temporary file (its id and start) is known to be gone.
bool processLives(DWORD id, std::uint64_t start) {
    const vorla::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process: gone
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) return false;
    return startOf(process.get()) == start;
}

}  // namespace

NewFile createTemporary(const FontsFolder &folder) {
    static std::atomic<unsigned> counter{0};
    static const std::uint64_t start = startOf(GetCurrentProcess());
    wchar_t name[96] = {};
    swprintf(name, 96, L"%ls%lu-%llx-%u%ls", kTemporaryPrefix, static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<unsigned long long>(start), counter++, kTemporarySuffix);
    return createInFolder(folder, name);
}

int removeDeadTemporaries(const FontsFolder &folder) {
    if (folder.state() != FontsFolder::State::Open) return 0;
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = folder.path() + L"\\" + kTemporaryPrefix + L"*" + kTemporarySuffix;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int removed = 0;
    do {
        unsigned long id = 0;
        unsigned long long start = 0;
        unsigned n = 0;
        const std::wstring format = std::wstring(kTemporaryPrefix) + L"%lu-%llx-%u";
        if (swscanf(found.cFileName, format.c_str(), &id, &start, &n) != 3) continue;
        if (processLives(static_cast<DWORD>(id), start)) continue;
        const std::wstring path = folder.path() + L"\\" + found.cFileName;
        if (deleteInFolders(path, {folder.path()}) == DeleteOutcome::Deleted) ++removed;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return removed;
}

bool sameContents(HANDLE a, HANDLE b) {
    LARGE_INTEGER sizeA{}, sizeB{}, start{};
    if (!GetFileSizeEx(a, &sizeA) || !GetFileSizeEx(b, &sizeB) || sizeA.QuadPart != sizeB.QuadPart) return false;
    if (!SetFilePointerEx(a, start, nullptr, FILE_BEGIN) || !SetFilePointerEx(b, start, nullptr, FILE_BEGIN))
        return false;
    std::vector<char> bufferA(1 << 16), bufferB(1 << 16);
    for (;;) {
        DWORD readA = 0, readB = 0;
        if (!ReadFile(a, bufferA.data(), static_cast<DWORD>(bufferA.size()), &readA, nullptr)) return false;
        if (!ReadFile(b, bufferB.data(), readA, &readB, nullptr) || readA != readB) return false;
        if (readA == 0) return true;
        if (!std::equal(bufferA.begin(), bufferA.begin() + readA, bufferB.begin())) return false;
    }
}

UniqueFileHandle openInFolder(const FontsFolder &folder, const std::wstring &name) {
    if (folder.state() != FontsFolder::State::Open) return {};
    UniqueFileHandle file(CreateFileW((folder.path() + L"\\" + name).c_str(), GENERIC_READ, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                                      nullptr));
    if (!file || isFolder(file.get()) || !samePath(parentOf(finalPathOf(file.get())), folder.path())) return {};
    return file;
}

NewFile createInFolder(const FontsFolder &folder, const std::wstring &name) {
    if (folder.state() != FontsFolder::State::Open) return {};
    // The chain is long only when the same file is installed again and again; the bound
    // keeps a folder full of such names (or a failing file system) from looping for ever.
    constexpr unsigned kMostTries = 100000;
    for (unsigned n = 0; n < kMostTries; ++n) {
        const std::wstring candidate = folder.path() + L"\\" + chainName(name, n);
        if (GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) continue;  // taken
        // CREATE_NEW never opens what is there, a link included: a name taken since the look
        // fails with "exists" and the search moves on.
        UniqueFileHandle file(CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return {};
        }
        NewFile created(std::move(file), candidate);
        if (!samePath(parentOf(finalPathOf(created.handle())), folder.path())) {
            created.discard();
            return {};
        }
        return created;
    }
    return {};
}

bool copyContents(HANDLE source, HANDLE target) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) return false;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
        if (read == 0) return true;
        DWORD written = 0;
        if (!WriteFile(target, buffer.data(), read, &written, nullptr) || written != read) return false;
    }
}

DeleteOutcome deleteInFolders(const std::wstring &path, const std::vector<std::wstring> &folders,
                              const std::function<void()> &beforeDelete) {
    // A link is opened as itself where the platform allows it (then deleting removes the link
    // only); where it does not (Wine), the target's final path is what gets checked.
    UniqueFileHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                      nullptr));
    if (!file || isFolder(file.get())) return DeleteOutcome::NotDeleted;
    const std::wstring folder = parentOf(finalPathOf(file.get()));
    // The texts as given first; their long forms (an 8.3 element in a text) only when none matches.
    const bool inside = std::any_of(folders.begin(), folders.end(),
                                    [&](const std::wstring &f) { return samePath(folder, f); }) ||
                        std::any_of(folders.begin(), folders.end(),
                                    [&](const std::wstring &f) { return samePath(folder, longPathOf(f)); });
    if (!inside) return DeleteOutcome::Outside;
    if (beforeDelete) beforeDelete();
    return markForDeletion(file.get()) ? DeleteOutcome::Deleted : DeleteOutcome::NotDeleted;
}

bool deleteIfSame(const std::wstring &path, const FileIdentity &identity) {
    UniqueFileHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || !(identityOf(file.get()) == identity)) return false;
    return markForDeletion(file.get());
}

// ---------------------------------------------------------------------------
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
