// The UTF-8/UTF-16 conversions: every output is valid UTF-8, valid input round-trips,
// and the big-endian form agrees with the plain one.
#include "FuzzCheck.h"
#include "common/Text.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size) {
    const std::string_view input(reinterpret_cast<const char *>(data), size);

    // UTF-8 in: output is well formed; well-formed input comes back unchanged; the
    // wide form gives the same units.
    const std::u16string units = vorla::utf8ToUtf16(input);
    const std::string back = vorla::utf16ToUtf8(units);
    FUZZ_CHECK(fuzzcheck::isValidUtf8(back));
    if (fuzzcheck::isValidUtf8(input)) FUZZ_CHECK(back == input);
    FUZZ_CHECK(units.size() <= input.size());
    const std::wstring wide = vorla::utf8ToWide(input);
    FUZZ_CHECK(std::u16string(wide.begin(), wide.end()) == units);
    FUZZ_CHECK(vorla::wideToUtf8(wide) == back);
    // Converting again changes nothing.
    FUZZ_CHECK(vorla::utf8ToUtf16(back) == units);

    // UTF-16 in (the bytes as big-endian units): output is well formed and, without lone
    // surrogates, comes back as the same units.
    std::u16string raw;
    for (size_t i = 0; i + 1 < size; i += 2) raw += static_cast<char16_t>((data[i] << 8) | data[i + 1]);
    const std::string fromUnits = vorla::utf16ToUtf8(raw);
    FUZZ_CHECK(fuzzcheck::isValidUtf8(fromUnits));
    FUZZ_CHECK(vorla::utf16BeToUtf8(input) == fromUnits);
    bool lone = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        const char16_t u = raw[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < raw.size() && raw[i + 1] >= 0xDC00 && raw[i + 1] <= 0xDFFF) {
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            lone = true;
        }
    }
    if (!lone) FUZZ_CHECK(vorla::utf8ToUtf16(fromUnits) == raw);

    FUZZ_CHECK(vorla::isBlank(input) == (input.find_first_not_of(" \t\r\n") == std::string_view::npos));
    return 0;
}
