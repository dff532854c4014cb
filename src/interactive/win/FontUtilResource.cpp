// Font installation core: the two calls it makes to the session's font table, and nothing else.
// A test program that must see what the table holds (tests/ctest.d/fonttable.cmake) links a
// stand-in for them in place of this file; the shipped binaries always have these.
#include "FontUtil.h"

#include "common/Text.h"

bool addFontResource(const std::string &path) { return AddFontResourceW(vorla::utf8ToWide(path).c_str()) > 0; }

bool removeFontResource(const std::string &path) {
    return RemoveFontResourceW(vorla::utf8ToWide(path).c_str()) != FALSE;
}
