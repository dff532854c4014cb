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

int installFontFile(HKEY root, const std::string &family, const std::string &path, const std::string &folder) {
    if (!fileExists(path)) return Status::kNotFound;
    const std::string fileName = fileNameOf(path);
    const std::filesystem::path folderPath = toWidePath(folder);
    if (root == HKEY_CURRENT_USER && folderPath.is_absolute()) {
        // A profile that never installed a font has no per-user fonts folder yet. (Without
        // a known profile folder the text is drive-relative: nothing is made, the copy fails.)
        std::error_code ignored;
        std::filesystem::create_directories(folderPath, ignored);
    }
    const std::string destination = uniqueDestination(folder + fileName, fileName, 0);

    std::string name;
    if (!readRegistryName(path, name)) return Status::kNotFound;
    if (name.empty()) name = family;

    if (!copyFileOverwrite(path, destination)) return Status::kCopy;
    const std::string valueName = fontRegValueName(name);
    const std::string previous = getFontRegStringValueByName(root, valueName);
    if (!setFontRegValueByFamilyAndPath(root, name, destination)) return Status::kRegistry;

    // Make the font usable in this session at once. A file the platform cannot load
    // as a font would leave an entry that no uninstall could remove: undo the entry
    // (back to what it was) and the copy.
    if (!addFontResource(destination)) {
        if (previous.empty()) {
            deleteFontRegValue(root, valueName);
        } else {
            setFontRegValueByFamilyAndPath(root, valueName, previous);
        }
        deleteRegularFile(destination);
        return Status::kPlatformRefusedFont;
    }
    return Status::kDone;
}

int persistentFontInstall(HKEY root, const std::string &family, const std::string &path) {
    int status;
    if (root == HKEY_CURRENT_USER) {
        status = installFontFile(root, family, path, localFontsFolder());
    } else if (root == HKEY_LOCAL_MACHINE) {
        status = installFontFile(root, family, path, kSystemFontsFolder);
    } else {
        return Status::kException;
    }
    if (status == Status::kDone) {
        LOG(INFO) << scopeTag(root) << "\t" << "[字体安装]\t[成功]\t(" << 0 << ")";
    } else {
        LOG(INFO) << scopeTag(root) << "\t" << "[字体安装]\t[失败]\t(" << status << ")";
    }
    return status;
}

int persistentFontUnInstall(HKEY root, const std::string & /*family*/, const std::string & /*postscriptName*/,
                            const std::string &path, FontRegDelete deleteEntry) {
    const char *tag = scopeTag(root);
    const char *bareTag = scopeBareTag(root);
    int status = Status::kNotFound;
    std::string entryName;

    if (!isBlank(path)) {
        entryName = getFontRegStringValueByPath(root, path);
        if (isBlank(entryName)) {
            LOG(DEBUG) << "[注册表]" << "\t" << "[" << bareTag << "]\t字体\t[未找到]" << "\t(" << path << ")";
            return Status::kNotFound;
        }
        if (!removeFontResource(path)) {
            LOG(DEBUG) << tag << "\t" << "[系统列表]\t" << "[删除]\t[失败]\t(" << path << ")";
            status = Status::kResourceRemove;
        } else if (!deleteEntry(root, entryName)) {
            LOG(DEBUG) << "[注册表]" << "\t" << "[" << bareTag << "]\t[删除]\t[失败]" << "\t" << path;
            status = Status::kRegistry;
        } else {
            deleteRegularFile(path);  // a file held open elsewhere stays on disk
            LOG(INFO) << tag << "\t" << "[字体卸载]\t[成功]\t(" << 0 << ")";
            status = Status::kDone;
        }

        if (status != Status::kDone) {
            // Strict mode: put back both the registry entry and the font resource.
            LOG(DEBUG) << tag << "\t" << "\tstrict Mode is True ";
            LOG(DEBUG) << "------------------------[Transactional begin]------------------------";
            LOG(DEBUG) << "[注册表]" << "\t" << "[Call\tBack\tStart]\t(" << entryName << ")";
            if (setFontRegValueByFamilyAndPath(root, entryName, path)) {
                LOG(DEBUG) << "[注册表]" << "\t" << "[CallBack]" << "\t[Success]";
            } else {
                LOG(DEBUG) << "[注册表]" << "\t" << "[CallBack]" << "\t[Fail!!!]";
            }
            LOG(DEBUG) << "[系统列表]" << "\t" << "[Call\tBack\tStart]\t" << "(" << path << ")";
            if (addFontResource(path)) {
                LOG(DEBUG) << "[系统列表]" << "\t" << "[CallBack]" << "\t[Success]";
            } else {
                LOG(DEBUG) << "[系统列表]" << "\t" << "[CallBack]" << "\t[Fail!!!]";
            }
            LOG(DEBUG) << "------------------------[Transactional   end]------------------------";
            LOG(INFO) << tag << "\t" << "[字体卸载]\t[失败]\t(" << status << ")";
        }
    }
    LOG(INFO) << tag << "\t" << std::string(144, '-');
    return status;
}

int installFontEntry(const std::string &family, const std::string &path) {
    if (!fileExists(path)) return Status::kNotFound;
    const int status = persistentFontInstall(HKEY_CURRENT_USER, family, path);
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
