#include "fontmanager/FontSources.h"

#include "common/SafeFile.h"
#include "common/Text.h"

#include <string>

namespace FontManager {

namespace {

std::uint64_t fileTime(const FILETIME &time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

winreg::KeyStamp fontsKeyStamp(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, vorla::utf8ToWide(kFontsKey).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
    const winreg::KeyHandle owner(key);
    return owner.stamp();
}

std::uint64_t folderStamp(const std::wstring &folder) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (folder.empty() || !GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data)) return 0;
    return fileTime(data.ftLastWriteTime);
}

}  // namespace

bool SourceStamps::sameSources(const SourceStamps &other) const {
    return userKey == other.userKey && machineKey == other.machineKey && userFolder == other.userFolder &&
           machineFolder == other.machineFolder;
}

bool SourceStamps::tooRecent() const {
    for (const std::uint64_t stamp : {userKey.written, machineKey.written, userFolder, machineFolder})
        if (stamp + kStampResolution > readAt) return true;
    return false;
}

SourceStamps readSourceStamps() {
    SourceStamps stamps;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    stamps.readAt = fileTime(now);
    stamps.userKey = fontsKeyStamp(HKEY_CURRENT_USER);
    stamps.machineKey = fontsKeyStamp(HKEY_LOCAL_MACHINE);
    stamps.userFolder = folderStamp(safefile::userFontsFolder(safefile::processElevated()));
    stamps.machineFolder = folderStamp(safefile::systemFontsFolder());
    return stamps;
}

}  // namespace FontManager
