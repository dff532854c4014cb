// The catalogue's tests: listings with nothing kept, records compared field by field, and small
// generated fonts with names of their own.
#pragma once

#include "fontmanager/FontManager.h"
#include "support/MiniFont.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace catalogue {

using FontManager::FontDescriptor;
using FontManager::FontList;

// A listing of its own, nothing kept: the system collection, then the given own files.
inline std::unique_ptr<FontList> uncached(
    const std::string &locale, const std::vector<std::string> &ownFiles = {},
    FontManager::FontManagerImpl::Lookup lookup = FontManager::FontManagerImpl::Lookup::FaceReferences) {
    std::unique_ptr<FontList> list;
    EXPECT_EQ(S_OK, FontManager::FontManagerImpl(lookup).getAvailableFonts(&list, locale, ownFiles));
    return list ? std::move(list) : std::make_unique<FontList>();
}

inline const FontDescriptor *byPostScript(const FontList &list, const std::string &name) {
    for (const auto &d : list)
        if (d->postscriptName == name) return d.get();
    return nullptr;
}

inline std::string describe(const FontDescriptor &d) {
    std::ostringstream out;
    out << d.postscriptName << " | " << d.path << " | " << d.family << " | " << d.style << " | " << d.weight << " "
        << d.width << " " << d.italic << " " << d.monospace;
    return out.str();
}

// Record for record: the same faces in the same order, every field equal.
inline ::testing::AssertionResult sameRecords(const FontList &expected, const FontList &actual) {
    for (std::size_t i = 0; i < expected.size() || i < actual.size(); ++i) {
        const std::string want = i < expected.size() ? describe(*expected[i]) : "(none)";
        const std::string got = i < actual.size() ? describe(*actual[i]) : "(none)";
        if (want != got)
            return ::testing::AssertionFailure() << "record " << i << " of " << expected.size() << " / "
                                                 << actual.size() << ": expected " << want << ", got " << got;
    }
    return ::testing::AssertionSuccess();
}

// A text no other test or run uses: Wine's font table keeps the fonts of the whole session.
inline std::string uniqueTag() {
    static int counter = 0;
    return std::to_string(GetCurrentProcessId()) + "x" + std::to_string(GetTickCount64() % 1000000) + "x" +
           std::to_string(++counter);
}

// A small generated font file with the given family; its PostScript name is the family
// without spaces unless given.
inline std::string writeFont(const std::filesystem::path &file, const std::string &family,
                             const std::string &postscriptName = "") {
    testsupport::writeFile(file, sfnt::miniFont({family, "", postscriptName, ""}));
    return testsupport::textOf(file);
}

inline std::string postscriptNameOf(const std::string &family) {
    std::string name;
    for (char c : family)
        if (c != ' ') name += c;
    return name;
}

}  // namespace catalogue
