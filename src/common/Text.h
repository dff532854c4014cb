#pragma once
// Text conversions. Every text inside the system is UTF-8; platform calls take UTF-16.
//
// The UTF-8/UTF-16 core is portable C++ (no platform header), so the parsers that
// use it also build natively for fuzzing. Rules, the same in every form:
// - a surrogate pair becomes one four-byte UTF-8 sequence; a lone surrogate becomes U+FFFD;
// - each byte of UTF-8 that does not start or continue a well-formed sequence (overlong
//   forms, encoded surrogates, beyond U+10FFFF, cut short) becomes one U+FFFD;
// - texts of kMaxTextSize units or more are refused with std::length_error, never cut.
#include <cstddef>
#include <string>
#include <string_view>

namespace vorla {

// 2 GiB: the platform conversions count in int.
constexpr std::size_t kMaxTextSize = 0x80000000u;

// Throws std::length_error when size is kMaxTextSize or more.
void checkTextSize(std::size_t size);

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// Big-endian UTF-16 bytes (font naming tables); an odd last byte is dropped.
std::string utf16BeToUtf8(std::string_view bytes);

// UTF-8 -> UTF-16 for platform calls (wchar_t is a UTF-16 unit there).
std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::wstring_view wide);

// Bytes in a Windows code page -> UTF-8. The text ends at the first NUL; text the
// platform cannot convert gives "". Implemented behind the platform seam (TextCodePage.cpp).
std::string codePageToUtf8(unsigned codePage, std::string_view bytes);

// UTF-16 -> the system ANSI code page. False, and ansi unchanged, when a character has
// no exact form there (no best-fit substitutes). Platform seam, as codePageToUtf8.
bool wideToAnsi(std::wstring_view wide, std::string &ansi);

// Empty or only space, \t, \n, \r.
bool isBlank(std::string_view text);

}  // namespace vorla
