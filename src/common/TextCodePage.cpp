// Platform seam of the text conversions: Windows code pages.
#include "common/Text.h"

#include <windows.h>

namespace vorla {

std::string codePageToUtf8(unsigned codePage, std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    checkTextSize(bytes.size());
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), units);
    return wideToUtf8(wide);
}

bool wideToAnsi(std::wstring_view wide, std::string &ansi) {
    checkTextSize(wide.size());
    if (wide.empty()) {
        ansi.clear();
        return true;
    }
    const int units = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) return false;
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, out.data(), size, nullptr, nullptr);
    ansi = std::move(out);
    return true;
}

}  // namespace vorla
