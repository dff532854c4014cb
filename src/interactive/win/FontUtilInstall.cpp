// Font installation core: permanent install and transactional uninstall.
#include "FontUtil.h"
#include "interactive/win/FontIdentity.h"
#include "interactive/win/Journal.h"

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
// label, and the library could not open it. So the DACL grants only waiting and releasing, to the
// creator's user and to INTERACTIVE (S-1-5-4): both tokens of an interactive logon carry that
// group, so whichever of the library and Marlet comes second opens it, also when Marlet runs as
// another administrator whose credentials were typed at the prompt. The label is medium with no
// write up. Any program of the session can then hold the mutex too: that can delay an install
// (bounded wait, a named status) and nothing else, since the lock only orders steps that each
// check what they find. A mutex that cannot be made or opened is tried again at the next step,
// never given up on for the process. Wine ignores descriptors and labels: the rights are shown
// with AccessCheck on the descriptor (installLockDescriptor), not on the mutex.
constexpr const wchar_t *kInstallLockName = L"Local\\Vorla.FontInstall";
constexpr DWORD kInstallLockWaitMs = 60000;

class InstallLock {
public:
    InstallLock() {
        DWORD error = 0;
        const HANDLE mutex = sharedMutex(&error);
        if (!mutex) {
            failedCall_ = "CreateMutexExW";
            code_ = error;
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
        DWORD ignored = 0;
        if (held_) ReleaseMutex(sharedMutex(&ignored));
    }
    explicit operator bool() const { return held_; }
    // After an ERROR line on a lock not taken: the DEBUG line with the call that failed and its code.
    void logCode() const { vorla::logPlatformCode(failedCall_, code_); }

private:
    // The process's handle to the mutex, made or opened on first use; a failure is not kept, so
    // that the next step tries again (error: its code).
    static HANDLE sharedMutex(DWORD *error) {
        static std::mutex guard;
        static vorla::UniqueHandle mutex;
        const std::lock_guard<std::mutex> lock(guard);
        if (!mutex) mutex.reset(createMutex(error));
        return mutex.get();
    }
    static HANDLE createMutex(DWORD *error) {
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
            *error = GetLastError();
            return nullptr;
        }
        const std::wstring rights = installLockDescriptor(user);
        for (const std::wstring &sddl : {rights + L"S:(ML;;NW;;;ME)", rights}) {
            PSECURITY_DESCRIPTOR descriptor = nullptr;
            if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                      nullptr))
                continue;  // a platform without integrity labels: the DACL alone
            SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
            const HANDLE mutex = CreateMutexExW(&attributes, kInstallLockName, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
            *error = mutex ? 0 : GetLastError();
            LocalFree(descriptor);
            return mutex;
        }
        *error = GetLastError();
        return nullptr;
    }
    bool held_ = false;
    const char *failedCall_ = "";
    DWORD code_ = 0;
};

// ---------------------------------------------------------------------------
// Names and fonts.

// How far the numbered names of one chosen name go ("Name 2", "Name 3", ...).
constexpr unsigned kMostNumberedNames = 10000;

// The value name of the entry: the chosen name, unless an entry of that name names another font
// (FontIdentity.h); then the name with the subfamily, then the name with the PostScript name,
// then the name followed by " 2", " 3", ... up to the first one that is free or names this font.
// An entry whose file cannot be read (missing, no disk file: a pipe, a console, a share) is
// another font's, and so is a value of that name that is no text. "" when every name is taken.
std::string chooseValueName(const winreg::KeyHandle &key, const std::string &name, const NamedFont &font,
                            const std::string &folder) {
    const auto takes = [&](const std::string &choice) {
        const std::string valueName = fontRegValueName(choice);
        if (!key.hasValue(valueName)) return true;
        const std::string data = readFontEntry(key, valueName);
        return !data.empty() && sameFont(readNamedFont(data, folder), font);
    };
    std::vector<std::string> choices = {name};
    if (!font.names.subfamily.empty()) choices.push_back(name + " " + font.names.subfamily);
    if (!font.names.postScriptName.empty()) choices.push_back(name + " " + font.names.postScriptName);
    for (const std::string &choice : choices) {
        if (takes(choice)) return fontRegValueName(choice);
    }
    for (unsigned n = 2; n <= kMostNumberedNames; ++n) {
        const std::string choice = name + " " + std::to_string(n);
        if (takes(choice)) return fontRegValueName(choice);
    }
    return {};
}

// How far a walk along the free-name chain of one base name goes.
constexpr unsigned kMostChainTries = 100000;

// A copy identical to the source on the free-name chain of base (up to the first free name),
// named by no entry or by valueName's only; "" when there is none. A name that the next boot
// deletes or replaces (pending) is passed over: such a copy would vanish under its entry.
std::wstring reusableCopy(HKEY root, const winreg::KeyHandle &key, const safefile::FontsFolder &fonts,
                          const std::wstring &base, HANDLE source, const std::string &valueName,
                          const std::vector<std::wstring> &pending) {
    for (unsigned n = 0; n < kMostChainTries; ++n) {
        const std::wstring name = safefile::chainName(base, n);
        const std::wstring path = fonts.path() + L"\\" + name;
        if (listedAtBoot(pending, path)) continue;
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

// The first name of the chain of base that nothing takes: no file has it and the next boot does
// not delete or replace a file of that name (a copy under it would go at the boot).
std::wstring freeChainName(const safefile::FontsFolder &fonts, const std::wstring &base,
                           const std::vector<std::wstring> &pending) {
    for (unsigned n = 0; n < kMostChainTries; ++n) {
        const std::wstring name = safefile::chainName(base, n);
        const std::wstring path = fonts.path() + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !listedAtBoot(pending, path)) return name;
    }
    return base;
}

// The full path of a file handed to a step, as its journal record holds it.
std::string fullPathText(const std::string &path) {
    const std::wstring full = safefile::fullPathOf(utf8ToWide(path));
    return full.empty() ? path : wideToUtf8(full);
}

// A journal record of this run for a file it is about to delete (Journal.h); "" when it could not
// be written, with one WARNING line (the step goes on: only a kill in between needs the record),
// and for a text that is no full disk path (a bare file name of an all-users entry), which no
// record could name.
std::string journalDeletion(HKEY root, const std::string &path) {
    if (!safefile::nameable(utf8ToWide(path), safefile::Network::Refused)) return {};
    const std::string record = journal::add(root, fullPathText(path));
    if (record.empty()) LOG(WARNING) << scopeTag(root) << "\t[未完成的卸载]\t[记录失败]\t(" << path << ")";
    return record;
}

// The step's deletion record goes once its file is gone, is recorded as a file in use, or must
// stay (outside the fonts folders); a file kept otherwise keeps it, for a later run to finish.
void closeDeletion(HKEY root, const std::string &record, FontFileFate fate) {
    if (record.empty() || fate == FontFileFate::Kept) return;
    journal::remove(root, record);
}

// An update replaced the entry's older copy of the same font: its resource and file go, only
// when no other entry names it (in any form) and it lies in a fonts folder. A copy held open by
// another program is unloaded and goes later (deleteFontFile).
FontFileFate retireOldCopy(HKEY root, const winreg::KeyHandle &key, const std::string &old) {
    if (fileNaming(root, key, old) != FileNaming::Unnamed) return FontFileFate::Outside;
    return deleteFontFile(root, old, "[字体安装]\t[旧版本文件被占用]");
}

// True when the file opens as a font file: an sfnt version of TrueType (0x00010000 or 'true'), of
// CFF outlines ('OTTO') or a collection ('ttcf'). Nothing else is ever copied into a fonts folder.
bool hasFontHeader(HANDLE file) {
    unsigned char tag[4] = {};
    DWORD read = 0;
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !ReadFile(file, tag, sizeof tag, &read, nullptr) ||
        read != sizeof tag)
        return false;
    const std::string text(reinterpret_cast<const char *>(tag), sizeof tag);
    return text == std::string("\0\1\0\0", 4) || text == "OTTO" || text == "true" || text == "ttcf";
}

// Leftovers of runs that ended between making a copy and naming it: once per process.
void removeLeftovers(const safefile::FontsFolder &fonts) {
    static std::once_flag once;
    std::call_once(once, [&] { safefile::removeDeadTemporaries(fonts); });
}

// What the journal holds, under the install lock: the deletions that dead runs left, once per
// process, and the files in use, at every install and uninstall (a program may let go of a file at
// any moment, and the library lives as long as its front end). The per-user records, and elevated
// also the all-users ones.
void finishJournal() {
    static std::once_flag once;
    std::call_once(once, [] {
        journal::finishDeadRuns(HKEY_CURRENT_USER);
        if (safefile::processElevated()) journal::finishDeadRuns(HKEY_LOCAL_MACHINE);
    });
    journal::retryFilesInUse(HKEY_CURRENT_USER);
    if (safefile::processElevated()) journal::retryFilesInUse(HKEY_LOCAL_MACHINE);
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
    NamedFont source;
    source.file = safefile::openNamed(
        utf8ToWide(path), safefile::processElevated() ? safefile::Network::Refused : safefile::Network::Allowed);
    if (!source) return Status::kNotFound;
    // The user who asked must be able to read it: an elevated install never hands over a file
    // (another user's licensed fonts) that the user could not read. And only a font is copied,
    // so no other file's bytes ever lie in a fonts folder, not even under a temporary name.
    if (!safefile::userMay(source.file.get(), FILE_READ_DATA)) return Status::kNotFound;
    if (!hasFontHeader(source.file.get())) return Status::kPlatformRefusedFont;
    {
        safefile::HandleStream in(source.file.get());
        source.names = readFontNames(in, "cn");
    }
    source.identity = fontIdentityOf(source.names);
    const std::string name = source.names.name.empty() ? family : source.names.name;
    removeLeftovers(fonts);

    // 4. The copy, whole and flushed under a temporary name before anything names it.
    safefile::NewFile copy = safefile::createTemporary(fonts);
    if (!copy) return Status::kCopy;
    if (!safefile::copyContents(source.file.get(), copy.handle()) || !copy.flush()) {
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
    finishJournal();
    const std::wstring base = safefile::safeBaseName(utf8ToWide(fileNameOf(path)));
    const std::vector<std::wstring> pending = pendingAtBoot();
    winreg::KeyHandle key = openFontsKey(root);
    if (!key) {
        // As before, a copy stays without an entry (the same install run again takes it).
        if (copy.renameInFolder(fonts, freeChainName(fonts, base, pending))) copy.keep();
        return Status::kRegistry;
    }

    // 5. The entry's name, then the copy it names: an identical copy already on the chain, or
    // the new one under the first free name of the chain (name.ttf, 0_name.ttf, ...).
    const std::string valueName = chooseValueName(key, name, source, wideToUtf8(fonts.path()));
    if (valueName.empty()) {
        LOG(ERROR) << scopeTag(root) << "\t[字体安装]\t[没有可用的注册表名]\t(" << name << ")";
        return Status::kRegistry;  // the copy goes with its handle
    }
    const std::wstring reused = reusableCopy(root, key, fonts, base, source.file.get(), valueName, pending);
    std::string destination;
    safefile::FileIdentity copied;
    if (!reused.empty()) {
        copy.discard();
        destination = wideToUtf8(reused);
    } else {
        // The chain's first name that nothing takes; one taken meanwhile by another program moves
        // on along the chain of that name.
        if (!copy.renameInFolder(fonts, freeChainName(fonts, base, pending))) return Status::kCopy;
        destination = wideToUtf8(copy.path());
        // The platform opens a font file to load it with read sharing only: no handle of ours
        // with write or delete access may stay open across the load. What the copy is stays known.
        copied = copy.keep();
        stepDone(path, "named");
    }

    // 6. The entry; what it named before is kept for the undo and for an update's clean-up, which
    // the journal holds until it is done (a kill in between leaves it for the next run).
    const std::string previous = readFontEntry(key, valueName);
    const bool update = !previous.empty() && !safefile::samePath(utf8ToWide(previous), utf8ToWide(destination));
    const std::string record = update ? journalDeletion(root, previous) : std::string();
    if (!writeFontEntry(root, key, valueName, destination)) {
        if (!record.empty()) journal::remove(root, record);
        return Status::kRegistry;
    }
    stepDone(path, "registered");

    // 7. The font resource, so that the font is usable in this session at once. A file the
    // platform cannot load as a font would leave an entry that no uninstall could remove:
    // the entry goes back to what it was and a copy made here is deleted, only while the name
    // still holds the very file made in step 5. Loads count: a reused copy that the entry named
    // already and that the platform holds loaded (open without delete sharing) is not loaded again.
    const bool loaded = !reused.empty() && safefile::samePath(utf8ToWide(previous), reused) && heldOpen(destination);
    if (!loaded && !addFontResource(destination)) {
        if (previous.empty()) {
            removeFontEntry(root, key, valueName);
        } else {
            writeFontEntry(root, key, valueName, previous);
        }
        if (reused.empty()) safefile::deleteIfSame(utf8ToWide(destination), copied);
        if (!record.empty()) journal::remove(root, record);
        return Status::kPlatformRefusedFont;
    }
    stepDone(path, "loaded");

    // 8. An update (the entry named another copy of the same font): the older copy goes, every
    // load of it first.
    if (update) closeDeletion(root, record, retireOldCopy(root, key, previous));
    return Status::kDone;
}

// Per-user work for another account than the session's user (another administrator's credentials
// typed at the prompt) would land in that account's HKCU and fonts folder, where the user never
// sees it: refused with one ERROR line. False when the step may go on.
bool refusedForAnotherAccount(const char *step, const std::string &path) {
    if (safefile::requester() != safefile::Requester::SessionUser) return false;
    LOG(ERROR) << scopeTag(HKEY_CURRENT_USER) << "\t" << step << "\t[其他账户]\t(" << path
               << ")\tthis process runs as another account than the session's user (another administrator's "
                  "credentials at the prompt): its per-user fonts are not the user's";
    return true;
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
// deleting the file. Its resource and the file go (a file in use later), when the opened file
// lies in the per-user fonts folder; false (nothing done) anywhere else.
bool removeUnnamedUserFont(const std::string &path) {
    const FontFileFate fate = deleteFontFile(HKEY_CURRENT_USER, path, "[字体卸载]\t[文件被占用]");
    return fate == FontFileFate::Deleted || fate == FontFileFate::Later;
}

}  // namespace

std::wstring installLockDescriptor(const std::wstring &creator) {
    return L"D:P(A;;0x00100001;;;" + creator + L")(A;;0x00100001;;;IU)";
}

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

// Why this order is safe against a kill at any moment: the resource goes first, then a journal
// record of the file, then the entry, then the file, then the record. A kill before the entry is
// deleted leaves the font registered (the next session loads it again); a kill after it leaves
// a file that no entry names with its record, which the next install or uninstall of any font
// finishes once this run is gone (Journal.h). A file that a program holds open is unregistered
// and unloaded all the same; its record becomes one of a file in use, which every later run
// tries again until the file goes. No step leaves an entry naming a missing file. The
// session's install lock keeps an install of the same file from writing its entry between the
// lookup and the deletion.
int persistentFontUnInstall(HKEY root, const std::string & /*family*/, const std::string & /*postscriptName*/,
                            const std::string &path, FontRegDelete deleteEntry, FontKeyOpen openKey) {
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
    finishJournal();

    // 1. The entry naming the file, in the Fonts key opened once for the whole uninstall.
    const winreg::KeyHandle key = openKey(root);
    const EntryLookup lookup = key ? lookupFontEntry(root, key, path) : EntryLookup{};
    const std::string &entryName = lookup.name;
    if (isBlank(entryName)) {
        LOG(DEBUG) << "[注册表]\t[" << bareTag << "]\t字体\t[未找到]\t(" << path << ")";
        // A per-user file that no entry names in any form, in a key that was read: an uninstall
        // ended between deleting the entry and deleting the file (a run older than the journal).
        if (root != HKEY_CURRENT_USER || !lookup.read || fileNaming(root, key, path) != FileNaming::Unnamed ||
            !removeUnnamedUserFont(path))
            return Status::kNotFound;
        LOG(INFO) << tag << "\t[字体卸载]\t[成功]\t(" << 0 << ")";
        LOG(INFO) << tag << "\t" << std::string(144, '-');
        return Status::kDone;
    }
    // The resource is removed by the text the install loaded it with: the entry's data when it
    // is a full path (as an install writes it); a bare file name (all-users entries of other
    // software) names nothing loadable, so the path is used then.
    const std::string loaded = readFontEntry(key, entryName);
    const std::string resource = loaded.find('\\') == std::string::npos ? path : loaded;

    // 2. The font resource, every load of it, 3. the journal record, 4. the entry, 5. the file (a
    // file held open elsewhere stays on disk and is recorded to go later), 6. the record.
    int status = Status::kDone;
    if (unloadFontResource(resource) == 0) {
        LOG(DEBUG) << tag << "\t[系统列表]\t[删除]\t[失败]\t(" << path << ")";
        status = Status::kResourceRemove;
    } else {
        stepDone(path, "unloaded");
        const std::string record = journalDeletion(root, path);
        stepDone(path, "journaled");
        if (!deleteEntry(root, key, entryName)) {
            LOG(DEBUG) << "[注册表]\t[" << bareTag << "]\t[删除]\t[失败]\t" << path;
            if (!record.empty()) journal::remove(root, record);
            status = Status::kRegistry;
        } else {
            stepDone(path, "unregistered");
            // The file goes only when the opened file lies in a fonts folder; one named elsewhere
            // (by an entry another program wrote, or through a link) is unregistered but kept.
            const FontFileFate deleted = deleteFontFile(root, path, "[字体卸载]\t[文件被占用]");
            if (deleted == FontFileFate::Outside) {
                LOG(WARNING) << tag << "\t[字体卸载]\t[文件不在字体目录]\t[保留]\t(" << path << ")";
            }
            stepDone(path, "deleted");
            closeDeletion(root, record, deleted);
            LOG(INFO) << tag << "\t[字体卸载]\t[成功]\t(" << 0 << ")";
        }
    }

    // 7. After a failed step (strict mode): both the registry entry and the font resource go back;
    // the entry exactly as it was read, its name and its data.
    if (status != Status::kDone) {
        LOG(DEBUG) << tag << "\t\tstrict Mode is True ";
        LOG(DEBUG) << "------------------------[Transactional begin]------------------------";
        LOG(DEBUG) << "[注册表]\t[Call\tBack\tStart]\t(" << entryName << ")";
        if (!loaded.empty() && writeFontEntry(root, key, entryName, loaded)) {
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
    // 1. The source must exist: otherwise 1005, without a log line or a broadcast. A process
    // working for another account than its own refuses per-user work (1111, one ERROR line).
    if (!fileExists(path)) return Status::kNotFound;
    if (refusedForAnotherAccount("[字体安装]", path)) return Status::kException;
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
    if (root == HKEY_CURRENT_USER && refusedForAnotherAccount("[字体卸载]", path)) return Status::kException;
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
