// Stand-in for the platform seam of the text conversions (common/TextCodePage.cpp)
// in the native fuzz build: ASCII passes, every other byte becomes U+FFFD. The
// callers' handling of the result (length, NUL end, valid UTF-8) is what is fuzzed.
#include "common/Text.h"

namespace vorla {

std::string codePageToUtf8(unsigned, std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    checkTextSize(bytes.size());
    std::string out;
    for (char c : bytes) out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : std::string("\xEF\xBF\xBD");
    return out;
}

bool wideToAnsi(std::wstring_view wide, std::string &ansi) {
    std::string out;
    for (wchar_t c : wide) {
        if (c >= 0x80) return false;
        out += static_cast<char>(c);
    }
    ansi = std::move(out);
    return true;
}

}  // namespace vorla
