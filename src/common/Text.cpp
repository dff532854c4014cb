#include "common/Text.h"

#include <cstdint>
#include <stdexcept>

namespace vorla {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string &out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

template <typename Unit>
void appendUtf16(std::basic_string<Unit> &out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<Unit>(0xD800 + (cp >> 10));
        out += static_cast<Unit>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<Unit>(cp);
    }
}

// One code point from UTF-8 at i; advances i. A malformed sequence gives U+FFFD and consumes one byte.
char32_t nextCodePoint(std::string_view text, std::size_t &i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || length > text.size() - i) {
        ++i;
        return kReplacement;
    }
    char32_t cp = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    static const char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return cp;
}

// UTF-16 units (given by unitAt) -> UTF-8.
template <typename UnitAt>
std::string fromUtf16(std::size_t units, UnitAt unitAt) {
    checkTextSize(units);
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char32_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        if ((unit >= 0xD800 && unit <= 0xDFFF) || unit > 0xFFFF) unit = kReplacement;
        appendUtf8(out, unit);
    }
    return out;
}

template <typename Unit>
std::basic_string<Unit> toUtf16(std::string_view utf8) {
    checkTextSize(utf8.size());
    std::basic_string<Unit> out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) appendUtf16(out, nextCodePoint(utf8, i));
    return out;
}

}  // namespace

void checkTextSize(std::size_t size) {
    if (size >= kMaxTextSize) throw std::length_error("text of 2 GiB or more");
}

std::u16string utf8ToUtf16(std::string_view utf8) { return toUtf16<char16_t>(utf8); }

std::string utf16ToUtf8(std::u16string_view utf16) {
    return fromUtf16(utf16.size(), [&](std::size_t i) { return static_cast<char32_t>(utf16[i]); });
}

std::string utf16BeToUtf8(std::string_view bytes) {
    return fromUtf16(bytes.size() / 2, [&](std::size_t i) {
        return static_cast<char32_t>((static_cast<unsigned char>(bytes[2 * i]) << 8) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]));
    });
}

std::wstring utf8ToWide(std::string_view utf8) { return toUtf16<wchar_t>(utf8); }

std::string wideToUtf8(std::wstring_view wide) {
    return fromUtf16(wide.size(), [&](std::size_t i) { return static_cast<char32_t>(wide[i]); });
}

bool isBlank(std::string_view text) { return text.find_first_not_of(" \t\n\r") == std::string_view::npos; }

}  // namespace vorla
