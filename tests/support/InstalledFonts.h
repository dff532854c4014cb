// What installs left in the per-user scope: the copy an entry names, the copies on the free-name
// chain of a file name, and their removal whatever a test's outcome.
#pragma once

#include "interactive/win/FontUtil.h"
#include "support/CoreFixtures.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <string>
#include <vector>

namespace installed {

// A tag of this test process, for names no other run uses (the session's font table keeps fonts).
inline std::string runTag() {
    static const std::string tag = std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(GetTickCount64() % 1000000);
    return tag;
}

// The data of a per-user entry; "" when there is none.
inline std::string entryOf(const std::string &valueName) {
    const corefix::RawValue value = corefix::readRawFontValue(HKEY_CURRENT_USER, valueName);
    return value.exists ? value.text : std::string();
}

// Files of the per-user fonts folder on the chain of a base name (base, 0_base, 1_base, ...).
inline std::vector<std::string> chainFiles(const std::string &base) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(testsupport::pathOf(localFontsFolder()), ec)) {
        const std::string name = testsupport::textOf(entry.path().filename());
        const size_t bar = name.find('_');
        if (name == base ||
            (bar != std::string::npos && name.substr(bar + 1) == base && name.find_first_not_of("0123456789") == bar))
            found.push_back(testsupport::textOf(entry.path()));
    }
    return found;
}

// Files of the per-user fonts folder on the chain of base holding exactly these bytes.
inline int copiesOf(const std::string &bytes, const std::string &base) {
    int count = 0;
    for (const std::string &file : chainFiles(base)) count += testsupport::readFile(file) == bytes ? 1 : 0;
    return count;
}

// The entry, the resource and the file it names go.
inline void forget(const std::string &valueName) {
    const std::string copy = entryOf(valueName);
    if (!copy.empty()) {
        removeFontResource(copy);
        std::error_code ec;
        std::filesystem::remove(testsupport::pathOf(copy), ec);
    }
    corefix::deleteRawFontValue(HKEY_CURRENT_USER, valueName);
}

// Every copy on the chain of base goes, with its resource.
inline void removeChain(const std::string &base) {
    for (const std::string &file : chainFiles(base)) {
        removeFontResource(file);
        std::error_code ec;
        std::filesystem::remove(testsupport::pathOf(file), ec);
    }
}

}  // namespace installed
