#pragma once
// Text conversions. Every text inside the system is UTF-8; platform calls take UTF-16.
#include <string>
#include <string_view>

namespace vorla {

// UTF-8 -> UTF-16. Invalid sequences become U+FFFD; nothing is dropped silently.
std::wstring utf8ToWide(std::string_view utf8);
// UTF-16 -> UTF-8. Surrogate pairs become one four-byte sequence; a lone surrogate becomes U+FFFD.
std::string wideToUtf8(std::wstring_view wide);

}  // namespace vorla
