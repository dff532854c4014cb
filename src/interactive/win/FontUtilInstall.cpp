// Font installation core: permanent install and transactional uninstall.
#include "FontUtil.h"

#include "common/SafeFile.h"
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

namespace {

using vorla::utf8ToWide;
using vorla::wideToUtf8;

// Steps 2 to 6 of a permanent install (see installFontEntry), for a source that exists.
int installExistingFile(HKEY root, const std::string &family, const std::string &path, const std::string &folder) {
    // 2. The fonts folder, opened and kept open for the copy. A profile that never installed a
    // font has no per-user folder yet: it is made, one checked level at a time. In an elevated
    // process a folder on the way that leads elsewhere (a junction, a link) refuses the install
    // before anything is written.
    const safefile::FontsFolder fonts = safefile::FontsFolder::open(utf8ToWide(folder), root == HKEY_CURRENT_USER,
                                                                    safefile::processElevated());
    if (fonts.state() == safefile::FontsFolder::State::Redirected) {
        LOG(ERROR) << scopeTag(root) << "\t[字体安装]\t[字体目录被重定向]\t(" << wideToUtf8(fonts.redirection()) << ")";
        return Status::kCopy;
    }

    // 3. The name of the entry: read from the font, else the caller's family.
    std::string name;
    if (!readRegistryName(path, name)) return Status::kNotFound;
    if (name.empty()) name = family;
    const vorla::UniqueFileHandle source = safefile::openSource(utf8ToWide(path));
    if (!source) return Status::kNotFound;

    // 4. The copy: a new file under the first free name of the chain (name.ttf, 0_name.ttf, ...),
    // created without replacing anything and filled through its handle; a failed copy is
    // removed through that same handle.
    safefile::NewFile copy = safefile::createInFolder(fonts, safefile::safeBaseName(utf8ToWide(fileNameOf(path))));
    if (!copy) return Status::kCopy;
    if (!safefile::copyContents(source.get(), copy.handle())) {
        copy.discard();
        return Status::kCopy;
    }
    const std::string destination = wideToUtf8(copy.path());
    // The platform opens a font file to load it with read sharing only: no handle of ours with
    // write or delete access may stay open across the load. What the copy is stays known.
    const safefile::FileIdentity copied = copy.keep();

    // 5. The entry, in the Fonts key opened once; what it replaces is kept for step 6.
    winreg::KeyHandle key = openFontsKey(root);
    if (!key) return Status::kRegistry;
    const std::string valueName = fontRegValueName(name);
    const std::string previous = readFontEntry(key, valueName);
    if (!writeFontEntry(root, key, valueName, destination)) return Status::kRegistry;

    // 6. The font resource, so that the font is usable in this session at once. A file the
    // platform cannot load as a font would leave an entry that no uninstall could remove:
    // the entry goes back to what it was and the copy is deleted, only while the name still
    // holds the very file made in step 4.
    if (!addFontResource(destination)) {
        if (previous.empty()) {
            removeFontEntry(root, key, valueName);
        } else {
            writeFontEntry(root, key, valueName, previous);
        }
        safefile::deleteIfSame(copy.path(), copied);
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
    if (root == HKEY_LOCAL_MACHINE)
        return loggedInstall(root, installFontFile(root, family, path, systemFontsFolder()));
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
        // The file goes only when the opened file lies in a fonts folder; one named elsewhere
        // (by an entry another program wrote, or through a link) is unregistered but kept.
        // A file held open elsewhere stays on disk.
        const safefile::DeleteOutcome deleted = safefile::deleteInFolders(
            vorla::utf8ToWide(path), safefile::deletableFolders(safefile::processElevated()));
        if (deleted == safefile::DeleteOutcome::Outside) {
            LOG(WARNING) << tag << "\t[字体卸载]\t[文件不在字体目录]\t[保留]\t(" << path << ")";
        }
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
