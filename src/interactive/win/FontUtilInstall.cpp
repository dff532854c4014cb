// Font installation core: permanent install and transactional uninstall.
#include "FontUtil.h"

#include "common/Status.h"
#include "easylogging++.h"

#include <fstream>

namespace {

// Opens the font file for reading; other processes may hold it open for reading or writing.
bool readRegistryName(const std::string &path, std::string &name) {
    std::ifstream in(toWidePath(path), std::ios::in | std::ios::binary);
    if (!in.is_open()) return false;
    name = readFontFamilyName(in, "cn");
    return true;
}

}  // namespace

std::string uniqueDestination(const std::string &candidate, const std::string &name, int n) {
    std::string next = candidate;
    const size_t slash = candidate.rfind('\\');
    const std::string folder = slash == std::string::npos ? std::string() : candidate.substr(0, slash + 1);
    while (fileExists(next)) {
        next = folder + std::to_string(n++) + "_" + name;
    }
    return next;
}

namespace {

// Steps 2 to 6 of a permanent install (see installFontEntry), for a source that exists.
int installExistingFile(HKEY root, const std::string &family, const std::string &path, const std::string &folder) {
    // 2. A free file name in the fonts folder: name.ttf, 0_name.ttf, 1_name.ttf, ...
    const std::filesystem::path folderPath = toWidePath(folder);
    if (root == HKEY_CURRENT_USER && folderPath.is_absolute()) {
        // A profile that never installed a font has no per-user fonts folder yet. (Without
        // a known profile folder the text is drive-relative: nothing is made, the copy fails.)
        std::error_code ignored;
        std::filesystem::create_directories(folderPath, ignored);
    }
    const std::string fileName = fileNameOf(path);
    const std::string destination = uniqueDestination(folder + fileName, fileName, 0);

    // 3. The name of the entry: read from the font, else the caller's family.
    std::string name;
    if (!readRegistryName(path, name)) return Status::kNotFound;
    if (name.empty()) name = family;

    // 4. The copy.
    if (!copyFileOverwrite(path, destination)) return Status::kCopy;

    // 5. The entry, in the Fonts key opened once; what it replaces is kept for step 6.
    winreg::KeyHandle key = openFontsKey(root);
    if (!key) return Status::kRegistry;
    const std::string valueName = fontRegValueName(name);
    const std::string previous = readFontEntry(key, valueName);
    if (!writeFontEntry(root, key, valueName, destination)) return Status::kRegistry;

    // 6. The font resource, so that the font is usable in this session at once. A file the
    // platform cannot load as a font would leave an entry that no uninstall could remove:
    // the entry goes back to what it was and the copy is deleted.
    if (!addFontResource(destination)) {
        if (previous.empty()) {
            removeFontEntry(root, key, valueName);
        } else {
            writeFontEntry(root, key, valueName, previous);
        }
        deleteRegularFile(destination);
        return Status::kPlatformRefusedFont;
    }
    return Status::kDone;
}

int loggedInstall(HKEY root, int status) {
    if (status == Status::kDone) {
        LOG(INFO) << scopeTag(root) << "\t[字体安装]\t[成功]\t(" << 0 << ")";
    } else {
        LOG(INFO) << scopeTag(root) << "\t[字体安装]\t[失败]\t(" << status << ")";
    }
    return status;
}

}  // namespace

int installFontFile(HKEY root, const std::string &family, const std::string &path, const std::string &folder) {
    if (!fileExists(path)) return Status::kNotFound;
    return installExistingFile(root, family, path, folder);
}

int persistentFontInstall(HKEY root, const std::string &family, const std::string &path) {
    if (root == HKEY_CURRENT_USER) return loggedInstall(root, installFontFile(root, family, path, localFontsFolder()));
    if (root == HKEY_LOCAL_MACHINE) return loggedInstall(root, installFontFile(root, family, path, kSystemFontsFolder));
    return Status::kException;
}

int persistentFontUnInstall(HKEY root, const std::string & /*family*/, const std::string & /*postscriptName*/,
                            const std::string &path, FontRegDelete deleteEntry) {
    const char *tag = scopeTag(root);
    const char *bareTag = scopeBareTag(root);
    if (isBlank(path)) {
        LOG(INFO) << tag << "\t" << std::string(144, '-');
        return Status::kNotFound;
    }

    // 1. The entry naming the file, in the Fonts key opened once for the whole uninstall.
    winreg::KeyHandle key;
    key.open(root, kFontsKey);
    const std::string entryName = key ? findFontEntry(root, key, path) : std::string();
    if (isBlank(entryName)) {
        LOG(DEBUG) << "[注册表]\t[" << bareTag << "]\t字体\t[未找到]\t(" << path << ")";
        return Status::kNotFound;
    }

    // 2. The font resource, 3. the entry, 4. the file (a file held open elsewhere stays on disk).
    int status = Status::kDone;
    if (!removeFontResource(path)) {
        LOG(DEBUG) << tag << "\t[系统列表]\t[删除]\t[失败]\t(" << path << ")";
        status = Status::kResourceRemove;
    } else if (!deleteEntry(root, key, entryName)) {
        LOG(DEBUG) << "[注册表]\t[" << bareTag << "]\t[删除]\t[失败]\t" << path;
        status = Status::kRegistry;
    } else {
        deleteRegularFile(path);
        LOG(INFO) << tag << "\t[字体卸载]\t[成功]\t(" << 0 << ")";
    }

    // 5. After a failed step (strict mode): both the registry entry and the font resource go back.
    if (status != Status::kDone) {
        LOG(DEBUG) << tag << "\t\tstrict Mode is True ";
        LOG(DEBUG) << "------------------------[Transactional begin]------------------------";
        LOG(DEBUG) << "[注册表]\t[Call\tBack\tStart]\t(" << entryName << ")";
        if (writeFontEntry(root, key, fontRegValueName(entryName), path)) {
            LOG(DEBUG) << "[注册表]\t[CallBack]\t[Success]";
        } else {
            LOG(DEBUG) << "[注册表]\t[CallBack]\t[Fail!!!]";
        }
        LOG(DEBUG) << "[系统列表]\t[Call\tBack\tStart]\t(" << path << ")";
        if (addFontResource(path)) {
            LOG(DEBUG) << "[系统列表]\t[CallBack]\t[Success]";
        } else {
            LOG(DEBUG) << "[系统列表]\t[CallBack]\t[Fail!!!]";
        }
        LOG(DEBUG) << "------------------------[Transactional   end]------------------------";
        LOG(INFO) << tag << "\t[字体卸载]\t[失败]\t(" << status << ")";
    }
    LOG(INFO) << tag << "\t" << std::string(144, '-');
    return status;
}

int installFontEntry(const std::string &family, const std::string &path) {
    // 1. The source must exist: otherwise 1005, without a log line or a broadcast.
    if (!fileExists(path)) return Status::kNotFound;
    // 2-6. Into the current user's fonts (installExistingFile), with one log line.
    const int status = loggedInstall(HKEY_CURRENT_USER,
                                     installExistingFile(HKEY_CURRENT_USER, family, path, localFontsFolder()));
    // 7. Running applications re-read the font list, whatever the outcome.
    broadcastFontChange();
    return status;
}

int uninstallFontEntry(const std::string &family, const std::string &postscriptName, const std::string &path) {
    if (!fileExists(path)) return Status::kNotFound;
    const HKEY root = isSystemFontPath(path) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const int status = persistentFontUnInstall(root, family, postscriptName, path);
    broadcastFontChange();
    return status;
}
