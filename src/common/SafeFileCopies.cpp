// Safe file module: making and naming copies (see SafeFileCopies.h).
#include "common/SafeFileCopies.h"

#include "common/RunStamp.h"
#include "common/SafeFilePaths.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace safefile {

using namespace detail;
using vorla::UniqueFileHandle;

namespace {

constexpr const wchar_t *kTemporaryPrefix = L"~vorla-";
constexpr const wchar_t *kTemporarySuffix = L".tmp";

}  // namespace

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

NewFile createTemporary(const FontsFolder &folder) {
    static std::atomic<unsigned> counter{0};
    const vorla::RunStamp run = vorla::thisRun();
    wchar_t name[96] = {};
    swprintf(name, 96, L"%ls%lu-%llx-%u%ls", kTemporaryPrefix, static_cast<unsigned long>(run.process),
             static_cast<unsigned long long>(run.start), counter++, kTemporarySuffix);
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
        if (vorla::runLives({static_cast<DWORD>(id), start})) continue;
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

}  // namespace safefile
