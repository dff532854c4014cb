// Temporary fonts: a font file registered as a font resource until logoff (or
// until it is unregistered), with no copy and no registry entry. Neither
// operation takes the install mutex: a temporary install may run while a
// permanent one does. In an elevated host (one that works for a user whose rights
// are not its own, safefile::guardedHost) the file is loaded only when that user
// may read it, and deleted only as that user could delete it.
#include "interactive/win/WindowsInterActive.h"

#include "common/PlatformError.h"
#include "common/SafeFile.h"
#include "common/Status.h"
#include "easylogging++.h"
#include "interactive/win/FontUtil.h"

#include <string>

int WindowsInterActive::installTempFont(const InteractiveFont *font) {
    const std::string path = textOf(font->path);
    const std::string family = textOf(font->family);
    LOG(DEBUG) << "install Temp Font family:" << family << " path:" << path;
    if (!fileExists(path)) {
        LOG(ERROR) << "install Temp Font Fail. Not Found FontFile to family:" << family << " path:" << path;
        return Status::kNotFound;
    }
    if (safefile::guardedHost()) {
        const vorla::UniqueFileHandle file = safefile::openNamed(vorla::utf8ToWide(path), safefile::Network::Refused);
        if (!file || !safefile::userMay(file.get(), FILE_READ_DATA)) {
            LOG(ERROR) << "install Temp Font Fail. Unreadable FontFile to family:" << family << " path:" << path;
            return Status::kNotFound;
        }
    }
    SetLastError(ERROR_SUCCESS);  // the code below is then the call's own
    if (!addFontResource(path)) {
        // The file is there but the platform did not take it (not a font, damaged...):
        // the font is not usable, so this is a failure and no change is announced.
        const DWORD error = GetLastError();
        LOG(ERROR) << "install Temp Font Fail. Platform refused FontFile to family:" << family << " path:" << path;
        vorla::logPlatformCode("AddFontResourceW", error);
        return Status::kPlatformRefusedFont;
    }
    catalogue_.temporaryFontAdded(path);
    broadcastFontChange();
    LOG(INFO) << "install Temp Font SUCCESS to family:" << family << " path:" << path;
    return Status::kDone;
}

namespace {

// The removal in an elevated host: the file goes only through a handle to the file the front end
// named (its final path is the path given) and only when the user may delete it; otherwise the
// file stays, with one warning line, and the status is 1003.
int uninstallCheckedTempFont(const std::string &path) {
    switch (safefile::deleteNamedFile(vorla::utf8ToWide(path), [&] { return unloadFontResource(path) > 0; })) {
    case safefile::NamedDeletion::Deleted:
        LOG(DEBUG) << "文件\t[删除]\t[成功]\t(" << path << ")";
        return Status::kDone;
    case safefile::NamedDeletion::InUse:
        LOG(WARNING) << "文件被占用\t[删除]\t[失败]\t(" << path << ")";
        return Status::kDone;
    case safefile::NamedDeletion::Kept:
        LOG(DEBUG) << "[系统列表]\t[卸载]\t[失败]\t(" << path << ")";
        return Status::kTempRemoveRefused;
    case safefile::NamedDeletion::Refused:
        break;
    }
    LOG(WARNING) << "文件\t[删除]\t[拒绝]\t(" << path
                 << ")\tnot where its name says, or the user may not delete it: the file is kept";
    return Status::kTempRemoveRefused;
}

}  // namespace

int WindowsInterActive::uninstallTempFont(const InteractiveFont *font) {
    const std::string path = textOf(font->path);
    const std::string family = textOf(font->family);
    if (!fileExists(path)) {
        LOG(ERROR) << "未找到字体文件. family:" << family << " path:" << path;
        return Status::kNotFound;
    }
    int status = Status::kDone;
    // Every load of the file, other programs' too: the file is going away, and a loaded file cannot
    // be deleted.
    if (safefile::guardedHost()) {
        status = uninstallCheckedTempFont(path);
        if (status == Status::kDone) catalogue_.temporaryFontRemoved(path);  // its resource went
    } else if (unloadFontResource(path) > 0) {
        catalogue_.temporaryFontRemoved(path);
        if (deleteRegularFile(path)) {
            LOG(DEBUG) << "文件\t[删除]\t[成功]\t(" << path << ")";
        } else {
            LOG(WARNING) << "文件被占用\t[删除]\t[失败]\t(" << path << ")";
        }
    } else {
        LOG(DEBUG) << "[系统列表]\t[卸载]\t[失败]\t(" << path << ")";
        status = Status::kTempRemoveRefused;
    }
    broadcastFontChange();
    return status;
}
