// Files that a caller or a font entry names, opened for reading (see NamedFile.h).
#include "common/NamedFile.h"

#include "common/SafeFilePaths.h"

#include <cwctype>

namespace safefile {

namespace {

bool isDriveRoot(const std::wstring &text) {
    return text.size() >= 3 && std::iswalpha(text[0]) && text[1] == L':' && text[2] == L'\\';
}

// "server\...": a server name, then more.
bool isServerShare(const std::wstring &text) {
    const size_t server = text.find(L'\\');
    return server != std::wstring::npos && server > 0 && server + 1 < text.size() && text[server + 1] != L'\\';
}

// The last element, without its extension, stream and trailing spaces, is a device name.
bool endsInDeviceName(const std::wstring &text) {
    std::wstring stem = text.substr(text.find_last_of(L'\\') + 1);
    stem = stem.substr(0, stem.find(L'.'));
    stem = stem.substr(0, stem.find(L':'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    return detail::isDeviceName(stem);
}

}  // namespace

bool nameable(const std::wstring &path, Network network) {
    std::wstring text = path;
    for (wchar_t &c : text)
        if (c == L'/') c = L'\\';
    bool network_path = false;
    if (text.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        text = text.substr(8);
        network_path = true;
    } else if (text.rfind(L"\\\\?\\", 0) == 0) {
        text = text.substr(4);
        if (!isDriveRoot(text)) return false;
    } else if (text.rfind(L"\\\\", 0) == 0) {
        text = text.substr(2);
        network_path = true;
    }
    if (network_path) {
        // "\\.\" and "\\?\" forms are devices; "." or "?" as a server name is no server.
        if (network == Network::Refused || !isServerShare(text) || text[0] == L'.' || text[0] == L'?') return false;
    } else if (!isDriveRoot(text)) {
        return false;
    }
    return !endsInDeviceName(text);
}

vorla::UniqueFileHandle openNamed(const std::wstring &path, Network network) {
    if (!nameable(path, network)) return {};
    vorla::UniqueFileHandle file(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
    if (!file) return {};
    // The attributes alone (FileBasicInfo): GetFileInformationByHandle also asks for the volume's
    // serial number, which costs Wine a look at every mount point (a third of a millisecond a file).
    FILE_BASIC_INFO info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandleEx(file.get(), FileBasicInfo, &info, sizeof info) ||
        (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        file.reset();
    return file;
}

// ---------------------------------------------------------------------------
HandleStream::HandleStream(HANDLE file) : std::istream(nullptr), buffer_(file) { rdbuf(&buffer_); }

HandleStream::Buffer::int_type HandleStream::Buffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    start_ += egptr() - eback();
    LARGE_INTEGER at{};
    at.QuadPart = start_;
    DWORD read = 0;
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
        !ReadFile(file_, data_.data(), static_cast<DWORD>(data_.size()), &read, nullptr) || read == 0) {
        setg(data_.data(), data_.data(), data_.data());
        return traits_type::eof();
    }
    setg(data_.data(), data_.data(), data_.data() + read);
    return traits_type::to_int_type(*gptr());
}

HandleStream::Buffer::pos_type HandleStream::Buffer::seekoff(off_type offset, std::ios_base::seekdir dir,
                                                             std::ios_base::openmode mode) {
    std::int64_t base = 0;
    if (dir == std::ios_base::cur) {
        base = start_ + (gptr() - eback());
    } else if (dir == std::ios_base::end) {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file_, &size)) return pos_type(off_type(-1));
        base = size.QuadPart;
    }
    return seekpos(pos_type(off_type(base + offset)), mode);
}

HandleStream::Buffer::pos_type HandleStream::Buffer::seekpos(pos_type position, std::ios_base::openmode mode) {
    const std::int64_t target = static_cast<std::int64_t>(off_type(position));
    if ((mode & std::ios_base::in) == 0 || target < 0) return pos_type(off_type(-1));
    // Within what is buffered: move inside it; elsewhere the next read starts there.
    if (target >= start_ && target <= start_ + (egptr() - eback())) {
        setg(eback(), eback() + (target - start_), egptr());
    } else {
        start_ = target;
        setg(data_.data(), data_.data(), data_.data());
    }
    return position;
}

}  // namespace safefile
