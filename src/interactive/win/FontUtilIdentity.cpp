// Font installation core: what a font is (see FontIdentity.h).
#include "interactive/win/FontIdentity.h"

#include "common/NamedFile.h"
#include "common/SafeFile.h"
#include "common/Text.h"

#include <algorithm>

FontIdentity fontIdentityOf(const FontNames &names) {
    FontIdentity identity;
    if (!names.collection) {
        if (!names.postScriptName.empty()) identity.postScriptNames.push_back(names.postScriptName);
        return identity;
    }
    const auto &faces = names.facePostScriptNames;
    if (faces.empty() || std::any_of(faces.begin(), faces.end(), [](const std::string &n) { return n.empty(); }))
        return identity;
    identity.postScriptNames = faces;
    std::sort(identity.postScriptNames.begin(), identity.postScriptNames.end());
    identity.postScriptNames.erase(std::unique(identity.postScriptNames.begin(), identity.postScriptNames.end()),
                                   identity.postScriptNames.end());
    return identity;
}

NamedFont readNamedFont(const std::string &text, const std::string &folder) {
    NamedFont font;
    const bool bare = text.find_first_of("\\/") == std::string::npos;
    const std::string path = bare && !folder.empty() ? folder + "\\" + text : text;
    font.file = safefile::openNamed(vorla::utf8ToWide(path), safefile::Network::Refused);
    if (!font.file) return font;
    safefile::HandleStream in(font.file.get());
    font.names = readFontNames(in, "cn", nullptr);
    font.identity = fontIdentityOf(font.names);
    return font;
}

bool sameFont(const FontIdentity &a, HANDLE aFile, const FontIdentity &b, HANDLE bFile) {
    if (!a.byBytes() || !b.byBytes()) return a == b;
    return aFile && bFile && safefile::sameContents(aFile, bFile);
}

bool sameFont(const NamedFont &a, const NamedFont &b) {
    return a && b && sameFont(a.identity, a.file.get(), b.identity, b.file.get());
}
