// Font installation core: permanent install and transactional uninstall.
#include "FontUtil.h"

#include "common/NamedFile.h"
#include "common/PlatformError.h"
#include "common/Raii.h"
#include "common/SafeFile.h"
#include "common/Status.h"
#include "easylogging++.h"

#include <sddl.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

using vorla::utf8ToWide;
using vorla::wideToUtf8;

// The fonts folder whose files a step of root's scope may delete: an entry under
// HKEY_CURRENT_USER, which the user writes, never reaches the all-users folder.
safefile::FolderScope folderScope(HKEY root) {
    return root == HKEY_CURRENT_USER ? safefile::FolderScope::CurrentUser : safefile::FolderScope::AllUsers;
}

// ---------------------------------------------------------------------------
// Test builds only (VORLA_FAULT_SEAM, never set for the shipped binaries): the process ends at
// once, as a kill would end it, after the named step of the font whose path holds the text of
// VORLA_FAULT_AT ("<text>|<step>").
#ifdef VORLA_FAULT_SEAM
void stepDone(const std::string &path, const char *step) {
    static const std::string at = [] {
        const char *value = std::getenv("VORLA_FAULT_AT");
        return std::string(value ? value : "");
    }();
    const size_t bar = at.rfind('|');
    if (bar == std::string::npos || at.compare(bar + 1, std::string::npos, step) != 0) return;
    if (path.find(at.substr(0, bar)) != std::string::npos) TerminateProcess(GetCurrentProcess(), 99);
}
#else
void stepDone(const std::string &, const char *) {}
#endif

// ---------------------------------------------------------------------------
// The lock that serialises the registry steps of each font across processes: Marlet (elevated)
// and the library (not elevated) of one logon session. One named mutex in the session namespace.
// Its security descriptor is explicit: an object made by an elevated process would otherwise get
// the elevated token's default DACL (administrators and the system only) and a high integrity
// label, and the library could not open it. So the DACL grants the logon user (the same SID in
// both tokens) only waiting and releasing, and the label is medium with no write up. Any program
// of the user can then hold the mutex too: that can delay an install (bounded wait, a named
// status) and nothing else, since the lock only orders steps that each check what they find.
// Wine ignores descriptors and labels: this reasoning is not shown by a test.
constexpr const wchar_t *kInstallLockName = L"Local\\Vorla.FontInstall";
constexpr DWORD kInstallLockWaitMs = 60000;

class InstallLock {
public:
    InstallLock() {
        const HANDLE mutex = sharedMutex();
        if (!mutex) {
            failedCall_ = "CreateMutexExW";
            code_ = creationError();
            return;
        }
        const DWORD waited = WaitForSingleObject(mutex, kInstallLockWaitMs);
        // WAIT_ABANDONED: the holder died within its steps; what it left is what a kill leaves,
        // which every step below expects.
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        if (!held_) {
            failedCall_ = "WaitForSingleObject";
            code_ = waited == WAIT_FAILED ? GetLastError() : waited;
        }
    }
    InstallLock(const InstallLock &) = delete;
    InstallLock &operator=(const InstallLock &) = delete;
    ~InstallLock() {
        if (held_) ReleaseMutex(sharedMutex());
    }
    explicit operator bool() const { return held_; }
    // After an ERROR line on a lock not taken: the DEBUG line with the call that failed and its code.
    void logCode() const { vorla::logPlatformCode(failedCall_, code_); }

private:
    static HANDLE sharedMutex() {
        static const vorla::UniqueHandle mutex(createMutex());
        return mutex.get();
    }
    static DWORD &creationError() {
        static DWORD error = 0;
        return error;
    }
    static HANDLE createMutex() {
        std::wstring user;
        HANDLE rawToken = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) {
            const vorla::UniqueHandle token(rawToken);
            DWORD size = 0;
            GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
            std::vector<char> buffer(size);
            LPWSTR text = nullptr;
            if (size != 0 && GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) &&
                ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &text)) {
                user = text;
                LocalFree(text);
            }
        }
        if (user.empty()) {
            creationError() = GetLastError();
            return nullptr;
        }
        const std::wstring rights = L"D:P(A;;0x00100001;;;" + user + L")";
        for (const std::wstring &sddl : {rights + L"S:(ML;;NW;;;ME)", rights}) {
            PSECURITY_DESCRIPTOR descriptor = nullptr;
            if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                      nullptr))
                continue;  // a platform without integrity labels: the DACL alone
            SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
            const HANDLE mutex = CreateMutexExW(&attributes, kInstallLockName, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
            creationError() = mutex ? 0 : GetLastError();
            LocalFree(descriptor);
            return mutex;
        }
        creationError() = GetLastError();
        return nullptr;
    }
    bool held_ = false;
    const char *failedCall_ = "";
    DWORD code_ = 0;
};

// ---------------------------------------------------------------------------
// Names and faces.

// The PostScript name of the font an entry names (a bare file name lies in the fonts folder);
// false when it is no file on a disk that can be read: an entry the user wrote may name a pipe,
// a console or a share, which is never opened.
bool faceOfEntry(const std::string &data, const std::string &folder, std::string &face) {
    const std::string path = data.find('\\') == std::string::npos ? folder + "\\" + data : data;
    const vorla::UniqueFileHandle file = safefile::openNamed(utf8ToWide(path), safefile::Network::Refused);
    if (!file) return false;
    safefile::HandleStream in(file.get());
    face = readFontNames(in, "en").postScriptName;
    return true;
}

// The value name of the entry: the chosen name, unless an entry of that name names a copy of
// another face (another PostScript name); then the name with the subfamily, then the name with
// the PostScript name. An entry whose file cannot be read is no other face's.
std::string chooseValueName(const winreg::KeyHandle &key, const std::string &name, const FontNames &names,
                            const std::string &folder) {
    std::vector<std::string> choices = {name};
    if (!names.subfamily.empty()) choices.push_back(name + " " + names.subfamily);
    if (!names.postScriptName.empty()) choices.push_back(name + " " + names.postScriptName);
    for (const std::string &choice : choices) {
        const std::string valueName = fontRegValueName(choice);
        const std::string data = readFontEntry(key, valueName);
        std::string face;
        if (data.empty() || !faceOfEntry(data, folder, face) || face == names.postScriptName) return valueName;
    }
    return fontRegValueName(name);  // every choice names another face: rewritten as before
}

// A copy identical to the source on the free-name chain of base (up to the first free name),
// named by no entry or by valueName's only; "" when there is none.
std::wstring reusableCopy(HKEY root, const winreg::KeyHandle &key, const safefile::FontsFolder &fonts,
                          const std::wstring &base, HANDLE source, const std::string &valueName) {
    constexpr unsigned kMostTries = 100000;
    for (unsigned n = 0; n < kMostTries; ++n) {
        const std::wstring name = safefile::chainName(base, n);
        const std::wstring path = fonts.path() + L"\\" + name;
        const vorla::UniqueFileHandle copy = safefile::openInFolder(fonts, name);
        if (!copy) {
            if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
            continue;
        }
        if (!safefile::sameContents(source, copy.get())) continue;
        const std::string owner = findFontEntry(root, key, wideToUtf8(path));
        if (owner.empty() || owner == valueName) return path;
    }
    return {};
}

// An update replaced the entry's older copy of the same face: its resource and file go, only
// when no other entry names it and it lies in a fonts folder. A copy held open by another
// process stays, with one warning line.
void retireOldCopy(HKEY root, const winreg::KeyHandle &key, const std::string &old) {
    if (!findFontEntry(root, key, old).empty()) return;
    const safefile::DeleteOutcome deleted = safefile::deleteInFolders(
        utf8ToWide(old), safefile::deletableFolders(safefile::processElevated(), folderScope(root)),
        [&] { removeFontResource(old); });
    if (deleted == safefile::DeleteOutcome::NotDeleted && fileExists(old)) {
        LOG(WARNING) << scopeTag(root) << "\t[字体安装]\t[旧版本文件被占用]\t[保留]\t(" << old << ")";
    }
}

// Leftovers of runs that ended between making a copy and naming it: once per process.
void removeLeftovers(const safefile::FontsFolder &fonts) {
    static std::once_flag once;
    std::call_once(once, [&] { safefile::removeDeadTemporaries(fonts); });
}

// ---------------------------------------------------------------------------
// Steps 2 to 6 of a permanent install (see installFontEntry), for a source that exists.
//
// Why this order is safe against a kill at any moment, and against other runs at once:
// - The copy is written under a temporary name of this process, flushed, and only then given
//   its name. A kill before that leaves only a temporary file, which the next install removes
//   once its process is gone; no entry ever names a file that is not whole.
// - The name is taken by a rename that never replaces: another run cannot overwrite the copy,
//   and this one cannot overwrite another's.
// - The entry is written only after the copy has its name, so no entry names a missing file. A
//   kill between the two leaves a named copy without an entry: the same font installed again
//   finds it on the chain (same bytes, no other entry names it) and takes it instead of a copy.
// - The older copy of an update goes last, after the entry names the new copy and the new
//   resource is loaded: whatever the moment of a kill, the entry names a whole file.
// - From choosing the entry's name to the last step, the steps run under the session's install
//   lock, so what one run reads of the registry and the chain is still true when it writes.
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

    // 3. The names: the entry's (read from the font, else the caller's family) and the face's.
    // One open serves the names and the bytes. Elevated, a source on another machine is refused
    // by its text: opening it would authenticate to that server as this process.
    const vorla::UniqueFileHandle source = safefile::openNamed(
        utf8ToWide(path), safefile::processElevated() ? safefile::Network::Refused : safefile::Network::Allowed);
    if (!source) return Status::kNotFound;
    FontNames names;
    {
        safefile::HandleStream in(source.get());
        names = readFontNames(in, "cn");
    }
    const std::string name = names.name.empty() ? family : names.name;
    removeLeftovers(fonts);

    // 4. The copy, whole and flushed under a temporary name before anything names it.
    safefile::NewFile copy = safefile::createTemporary(fonts);
    if (!copy) return Status::kCopy;
    if (!safefile::copyContents(source.get(), copy.handle()) || !copy.flush()) {
        copy.discard();
        return Status::kCopy;
    }
    stepDone(path, "copied");

    const InstallLock lock;
    if (!lock) {
        LOG(ERROR) << scopeTag(root) << "\t[字体安装]\t[等待安装锁超时]\t(" << path << ")";
        lock.logCode();
        return Status::kRegistry;  // the copy goes with its handle
    }
    winreg::KeyHandle key = openFontsKey(root);
    if (!key) {
        // As before, a copy stays without an entry (the same install run again takes it).
        if (copy.renameInFolder(fonts, safefile::safeBaseName(utf8ToWide(fileNameOf(path))))) copy.keep();
        return Status::kRegistry;
    }

    // 5. The entry's name, then the copy it names: an identical copy already on the chain, or
    // the new one under the first free name of the chain (name.ttf, 0_name.ttf, ...).
    const std::string valueName = chooseValueName(key, name, names, wideToUtf8(fonts.path()));
    const std::wstring base = safefile::safeBaseName(utf8ToWide(fileNameOf(path)));
    const std::wstring reused = reusableCopy(root, key, fonts, base, source.get(), valueName);
    std::string destination;
    safefile::FileIdentity copied;
    if (!reused.empty()) {
        copy.discard();
        destination = wideToUtf8(reused);
    } else {
        if (!copy.renameInFolder(fonts, base)) return Status::kCopy;
        destination = wideToUtf8(copy.path());
        // The platform opens a font file to load it with read sharing only: no handle of ours
        // with write or delete access may stay open across the load. What the copy is stays known.
        copied = copy.keep();
        stepDone(path, "named");
    }

    // 6. The entry; what it named before is kept for the undo and for an update's clean-up.
    const std::string previous = readFontEntry(key, valueName);
    if (!writeFontEntry(root, key, valueName, destination)) return Status::kRegistry;
    stepDone(path, "registered");

    // 7. The font resource, so that the font is usable in this session at once. A file the
    // platform cannot load as a font would leave an entry that no uninstall could remove:
    // the entry goes back to what it was and a copy made here is deleted, only while the name
    // still holds the very file made in step 5.
    if (!addFontResource(destination)) {
        if (previous.empty()) {
            removeFontEntry(root, key, valueName);
        } else {
            writeFontEntry(root, key, valueName, previous);
        }
        if (reused.empty()) safefile::deleteIfSame(utf8ToWide(destination), copied);
        return Status::kPlatformRefusedFont;
    }
    stepDone(path, "loaded");

    // 8. An update (the entry named another copy of the same face): the older copy goes.
    if (!previous.empty() && !safefile::samePath(utf8ToWide(previous), utf8ToWide(destination)))
        retireOldCopy(root, key, previous);
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

// A per-user font file that no entry names: an uninstall ended between deleting the entry and
// deleting the file. Its resource and the file go, when the opened file lies in the per-user
// fonts folder; false (nothing done) anywhere else.
bool removeUnnamedUserFont(const std::string &path) {
    const safefile::DeleteOutcome deleted = safefile::deleteInFolders(
        utf8ToWide(path), safefile::deletableFolders(safefile::processElevated(), safefile::FolderScope::CurrentUser),
        [&] { removeFontResource(path); });
    return deleted == safefile::DeleteOutcome::Deleted;
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

// Why this order is safe against a kill at any moment: the resource goes first, then the entry,
// then the file. A kill before the entry is deleted leaves the font registered, and the next
// session loads it again; a kill after it leaves a file in the fonts folder that no entry names,
// which the same uninstall run again removes (status 0). No step leaves an entry naming a
// missing file. The session's install lock keeps an install of the same file from writing its
// entry between the lookup and the deletion.
int persistentFontUnInstall(HKEY root, const std::string & /*family*/, const std::string & /*postscriptName*/,
                            const std::string &path, FontRegDelete deleteEntry) {
    const char *tag = scopeTag(root);
    const char *bareTag = scopeBareTag(root);
    if (isBlank(path)) {
        LOG(INFO) << tag << "\t" << std::string(144, '-');
        return Status::kNotFound;
    }
    const InstallLock lock;
    if (!lock) {
        LOG(ERROR) << tag << "\t[字体卸载]\t[等待安装锁超时]\t(" << path << ")";
        lock.logCode();
        LOG(INFO) << tag << "\t[字体卸载]\t[失败]\t(" << Status::kRegistry << ")";
        LOG(INFO) << tag << "\t" << std::string(144, '-');
        return Status::kRegistry;
    }

    // 1. The entry naming the file, in the Fonts key opened once for the whole uninstall.
    winreg::KeyHandle key;
    key.open(root, kFontsKey);
    const std::string entryName = key ? findFontEntry(root, key, path) : std::string();
    if (isBlank(entryName)) {
        LOG(DEBUG) << "[注册表]\t[" << bareTag << "]\t字体\t[未找到]\t(" << path << ")";
        if (root != HKEY_CURRENT_USER || !removeUnnamedUserFont(path)) return Status::kNotFound;
        LOG(INFO) << tag << "\t[字体卸载]\t[成功]\t(" << 0 << ")";
        LOG(INFO) << tag << "\t" << std::string(144, '-');
        return Status::kDone;
    }
    // The resource is removed by the text the install loaded it with: the entry's data when it
    // is a full path (as an install writes it); a bare file name (all-users entries of other
    // software) names nothing loadable, so the path is used then.
    const std::string loaded = readFontEntry(key, entryName);
    const std::string resource = loaded.find('\\') == std::string::npos ? path : loaded;

    // 2. The font resource, 3. the entry, 4. the file (a file held open elsewhere stays on disk).
    int status = Status::kDone;
    if (!removeFontResource(resource)) {
        LOG(DEBUG) << tag << "\t[系统列表]\t[删除]\t[失败]\t(" << path << ")";
        status = Status::kResourceRemove;
    } else {
        stepDone(path, "unloaded");
        if (!deleteEntry(root, key, entryName)) {
            LOG(DEBUG) << "[注册表]\t[" << bareTag << "]\t[删除]\t[失败]\t" << path;
            status = Status::kRegistry;
        } else {
            stepDone(path, "unregistered");
            // The file goes only when the opened file lies in a fonts folder; one named elsewhere
            // (by an entry another program wrote, or through a link) is unregistered but kept.
            // A file held open elsewhere stays on disk.
            const safefile::DeleteOutcome deleted = safefile::deleteInFolders(
                utf8ToWide(path), safefile::deletableFolders(safefile::processElevated(), folderScope(root)));
            if (deleted == safefile::DeleteOutcome::Outside) {
                LOG(WARNING) << tag << "\t[字体卸载]\t[文件不在字体目录]\t[保留]\t(" << path << ")";
            }
            LOG(INFO) << tag << "\t[字体卸载]\t[成功]\t(" << 0 << ")";
        }
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
    // 2-8. Into the current user's fonts (installExistingFile), with one log line.
    const int status = loggedInstall(HKEY_CURRENT_USER,
                                     installExistingFile(HKEY_CURRENT_USER, family, path, localFontsFolder()));
    // 9. Running applications re-read the font list, whatever the outcome; the install lock is
    // not held here (a message never waits under it).
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

int underInstallLock(const std::string &tag, const std::string &subject, const std::function<int()> &step) {
    const InstallLock lock;
    if (!lock) {
        LOG(ERROR) << tag << "\t[等待安装锁超时]\t(" << subject << ")";
        lock.logCode();
        return Status::kRegistry;
    }
    return step();
}
