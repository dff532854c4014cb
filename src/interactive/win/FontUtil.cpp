// Font installation core: text and path helpers, files and font resources.
#include "FontUtil.h"

#include "common/Text.h"

#include <cctype>

using vorla::utf8ToWide;
using vorla::wideToUtf8;

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
std::string toLower(std::string text) {
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string fileNameOf(const std::string &text) {
    // A separator in the very first position does not count.
    for (size_t i = text.size(); i-- > 1;) {
        if (text[i] == '\\' || text[i] == '/') return text.substr(i + 1);
    }
    return text;
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

int unloadFontResource(const std::string &path) {
    int removed = 0;
    while (removed < kMostResourceRemovals && removeFontResource(path)) ++removed;
    return removed;
}

void broadcastFontChange() { PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); }
