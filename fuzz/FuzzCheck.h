// Property checks shared by the fuzz targets. A failed check aborts, which libFuzzer
// reports as a crash with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

namespace fuzzcheck {

// Well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF), checked from the
// definition's table of byte ranges, independently of the decoder under test.
inline bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    auto in = [&](size_t k, unsigned lo, unsigned hi) {
        if (k >= text.size()) return false;
        const unsigned b = static_cast<unsigned char>(text[k]);
        return b >= lo && b <= hi;
    };
    while (i < text.size()) {
        const unsigned b = static_cast<unsigned char>(text[i]);
        if (b <= 0x7F) {
            i += 1;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF && in(i + 1, 0x80, 0xBF)) {
            i += 2;
            continue;
        }
        if (b == 0xE0 && in(i + 1, 0xA0, 0xBF) && in(i + 2, 0x80, 0xBF)) {
            i += 3;
            continue;
        }
        if (((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) && in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF)) {
            i += 3;
            continue;
        }
        if (b == 0xED && in(i + 1, 0x80, 0x9F) && in(i + 2, 0x80, 0xBF)) {
            i += 3;
            continue;
        }
        if (b == 0xF0 && in(i + 1, 0x90, 0xBF) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF)) {
            i += 4;
            continue;
        }
        if (b >= 0xF1 && b <= 0xF3 && in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF)) {
            i += 4;
            continue;
        }
        if (b == 0xF4 && in(i + 1, 0x80, 0x8F) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF)) {
            i += 4;
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace fuzzcheck
