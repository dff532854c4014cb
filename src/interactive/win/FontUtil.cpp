// Font installation core: code pages, text and path helpers, files and font resources.
#include "FontUtil.h"

#include "common/Text.h"

#include <cctype>

using vorla::utf8ToWide;
using vorla::wideToUtf8;

namespace fs = std::filesystem;

namespace {

// MultiByteToWideChar then WideCharToMultiByte, sizes asked first; no flags, no default char.
std::string convertCodePage(const char *text, UINT from, UINT to) {
    if (text == nullptr) return {};
    int units = MultiByteToWideChar(from, 0, text, -1, nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<size_t>(units) + 1, L'\0');
    MultiByteToWideChar(from, 0, text, -1, wide.data(), units);
    int bytes = WideCharToMultiByte(to, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string out(static_cast<size_t>(bytes) + 1, '\0');
    WideCharToMultiByte(to, 0, wide.c_str(), -1, out.data(), bytes, nullptr, nullptr);
    out.resize(out.find('\0'));
    return out;
}

}  // namespace

std::string utf8ToAnsi(const char *text) { return convertCodePage(text, CP_UTF8, CP_ACP); }
std::string ansiToUtf8(const char *text) { return convertCodePage(text, CP_ACP, CP_UTF8); }

std::string codePageToUtf8(unsigned codePage, const std::string &bytes) {
    return convertCodePage(bytes.c_str(), codePage, CP_UTF8);
}

// ---------------------------------------------------------------------------
std::string toLower(std::string text) {
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool isBlank(const std::string &text) {
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
    }
    return true;
}

std::string fileNameOf(const std::string &text) {
    // A separator in the very first position does not count.
    for (size_t i = text.size(); i-- > 1;) {
        if (text[i] == '\\' || text[i] == '/') return text.substr(i + 1);
    }
    return text;
}

std::string extensionOf(const std::string &text) {
    size_t dot = text.rfind('.');
    if (dot == std::string::npos || dot + 1 == text.size()) return {};
    return text.substr(dot + 1);
}

fs::path toWidePath(const std::string &text) { return fs::path(utf8ToWide(text)); }

std::string weaklyCanonicalText(const std::string &text) {
    return wideToUtf8(fs::weakly_canonical(toWidePath(text)).make_preferred().wstring());
}

// ---------------------------------------------------------------------------
bool fileExists(const std::string &path) {
    // The raising form: absence is "not found", any other failure propagates.
    return fs::exists(fs::status(toWidePath(path)));
}

bool deleteRegularFile(const std::string &path) {
    const fs::path p = toWidePath(path);
    if (!fs::is_regular_file(fs::status(p))) return false;
    std::error_code ec;
    return fs::remove(p, ec) && !ec;
}

bool copyFileOverwrite(const std::string &from, const std::string &to) {
    std::error_code ec;
    const fs::path source = toWidePath(from);
    if (!fs::is_regular_file(source, ec) || ec) return false;
    // CopyFileW rather than fs::copy_file: the mingw runtime cannot tell two files
    // apart (no inode numbers) and refuses every overwrite as "file exists".
    return CopyFileW(source.c_str(), toWidePath(to).c_str(), FALSE) != FALSE;
}

bool addFontResource(const std::string &path) {
    return AddFontResourceW(utf8ToWide(path).c_str()) > 0;
}

bool removeFontResource(const std::string &path) {
    return RemoveFontResourceW(utf8ToWide(path).c_str()) != FALSE;
}

void broadcastFontChange() { PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); }
