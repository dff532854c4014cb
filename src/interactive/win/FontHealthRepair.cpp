// Font health: the repair of one finding (see FontHealth.h).
#include "interactive/win/FontHealth.h"

#include "common/Frame.h"
#include "common/NamedFile.h"
#include "common/SafeFile.h"
#include "common/Status.h"
#include "common/Text.h"
#include "easylogging++.h"
#include "interactive/win/FontHealthEntries.h"

#include <mutex>

namespace {

using health::FontEntry;
using vorla::utf8ToWide;
using vorla::wideToUtf8;

bool samePathText(const std::string &a, const std::string &b) {
    return a == b || safefile::samePath(utf8ToWide(a), utf8ToWide(b));
}

// The finding made again now is the one given: same kind and file, and the file's size when
// the given finding has one.
bool stillHolds(const HealthFinding &now, const HealthFinding &given) {
    return now.kind == given.kind && samePathText(now.path, given.path) && (given.size < 0 || given.size == now.size);
}

// True when the path lies in one of the folders or below it (final paths, as
// safefile::deletableFolders gives them).
bool liesUnder(const std::wstring &path, const std::vector<std::wstring> &folders) {
    for (const std::wstring &text : folders) {
        for (const std::wstring &folder : {text, safefile::longPathOf(text)}) {
            const size_t n = folder.size();
            if (n > 0 && path.size() > n + 1 && path[n] == L'\\' &&
                CompareStringOrdinal(path.c_str(), static_cast<int>(n), folder.c_str(), static_cast<int>(n), TRUE) ==
                    CSTR_EQUAL)
                return true;
        }
    }
    return false;
}

winreg::KeyHandle openForWriting(HealthScope scope, const std::string &keyPath) {
    winreg::KeyHandle key;
    key.open(health::rootOf(scope), keyPath.empty() ? std::string(kFontsKey) : std::string(kFontsKey) + "\\" + keyPath);
    return key;
}

// missingFile, notLoadable: the entry goes; a file it names stays.
int deleteEntry(const FontEntry &entry) {
    const winreg::KeyHandle key = openForWriting(entry.scope, entry.keyPath);
    if (!key) return Status::kRegistry;
    const bool deleted = entry.keyPath.empty() ? removeFontEntry(health::rootOf(entry.scope), key, entry.name)
                                               : key.deleteValue(entry.name) == ERROR_SUCCESS;
    return deleted ? Status::kDone : Status::kRegistry;
}

// True when the entry data text names that file.
bool namesFile(const std::string &text, const health::FileKey &key) {
    const health::EntryFile file = health::fileOf({HealthScope::CurrentUser, {}, {}, REG_SZ, text},
                                                  health::fontsFolderOf(HealthScope::CurrentUser));
    if (file.form == health::EntryFile::Form::Several || file.form == health::EntryFile::Form::NoDisk) return false;
    const vorla::UniqueFileHandle other = safefile::openNamed(file.path, safefile::Network::Refused);
    return other && health::keyOf(other.get()) == key;
}

// lostAtLogon: the entry is written in the per-user Fonts key itself with the file's full path,
// then a subkey's value goes. Only for a file that lies in or below the per-user fonts folder,
// and never over an entry of that name naming another file.
int rewriteEntry(const FontEntry &entry, const HealthFinding &finding) {
    const vorla::UniqueFileHandle file = safefile::openNamed(utf8ToWide(finding.path), safefile::Network::Refused);
    if (!file) return Status::kNotFound;
    const std::wstring real = safefile::finalPathOf(file.get());
    const char *tag = scopeTag(HKEY_CURRENT_USER);
    if (!liesUnder(real, safefile::deletableFolders(safefile::processElevated(), safefile::FolderScope::CurrentUser))) {
        LOG(WARNING) << tag << "\t[字体修复]\t[文件不在字体目录]\t(" << finding.path << ")";
        return Status::kRegistry;
    }
    const winreg::KeyHandle key = openFontsKey(HKEY_CURRENT_USER);
    if (!key) return Status::kRegistry;
    if (!entry.keyPath.empty()) {
        const std::string present = readFontEntry(key, entry.name);
        if (!present.empty() && !namesFile(present, health::keyOf(file.get()))) {
            LOG(WARNING) << tag << "\t[字体修复]\t[同名注册表项]\t(" << entry.name << ")";
            return Status::kRegistry;
        }
    }
    if (!writeFontEntry(HKEY_CURRENT_USER, key, entry.name, wideToUtf8(real))) return Status::kRegistry;
    if (entry.keyPath.empty()) return Status::kDone;
    const winreg::KeyHandle subkey = openForWriting(HealthScope::CurrentUser, entry.keyPath);
    return subkey && subkey.deleteValue(entry.name) == ERROR_SUCCESS ? Status::kDone : Status::kRegistry;
}

// The files that entries of both scopes name, by opened file: kept while the entries read the
// same, so a batch of repairs opens every entry's file once.
struct NamedIdentities {
    std::vector<std::string> texts;
    health::NamedFiles files;
    bool valid = false;
};
std::mutex identitiesMutex;
NamedIdentities identities;  // guarded by identitiesMutex

// True when an entry of either scope (a subkey's included) names the file at path.
bool namedByAnEntry(const std::wstring &path, const health::FileKey &key) {
    std::vector<FontEntry> entries = health::readEntries(HealthScope::CurrentUser);
    for (FontEntry &entry : health::readEntries(HealthScope::AllUsers)) entries.push_back(std::move(entry));
    health::NamedFiles byPath;
    std::vector<std::string> texts;
    for (const FontEntry &entry : entries) {
        texts.push_back(entry.text);
        const health::EntryFile file = health::fileOf(entry, health::fontsFolderOf(entry.scope));
        byPath.add(file.path);
        for (const std::wstring &part : file.parts) byPath.add(part);
    }
    if (byPath.namesPath(path)) return true;

    std::lock_guard<std::mutex> lock(identitiesMutex);
    if (!identities.valid || identities.texts != texts) {
        identities = NamedIdentities{};
        health::FontSystem fonts;
        for (const FontEntry &entry : entries)
            health::examineEntry(entry, health::fontsFolderOf(entry.scope), fonts, &identities.files);
        identities.texts = std::move(texts);
        identities.valid = true;
    }
    return identities.files.namesFile(key);
}

// unnamedCopy: the resource goes and the file is deleted through the safe module, while it is
// a font file directly in the per-user fonts folder, of the size found, that no entry names.
int removeUnnamedCopy(const HealthFinding &finding) {
    const std::wstring path = utf8ToWide(finding.path);
    {
        const vorla::UniqueFileHandle file = safefile::openNamed(path, safefile::Network::Refused);
        if (!file) return Status::kNotFound;
        health::FontSystem fonts;
        const health::FileFacts facts = health::examineFile(file.get(), fonts, false);
        if (!facts.font || (finding.size >= 0 && facts.size != finding.size)) return Status::kNotFound;
        if (namedByAnEntry(path, health::keyOf(file.get()))) return Status::kNotFound;
    }
    // The core's one removal of a font file: where it lies judged on a handle a loaded file still
    // opens, every load of it removed, then the deletion through a handle checked again (a loaded
    // file cannot be opened for deletion on Windows).
    std::wstring removed;
    switch (removeFontFile(HKEY_CURRENT_USER, finding.path, removed)) {
    case FontFileRemoval::Deleted:
        return Status::kDone;
    case FontFileRemoval::Outside:
    case FontFileRemoval::Missing:
        return Status::kNotFound;
    case FontFileRemoval::InUse:
    case FontFileRemoval::Refused:
        break;
    }
    LOG(WARNING) << scopeTag(HKEY_CURRENT_USER) << "\t[字体修复]\t[文件被占用]\t[保留]\t(" << finding.path << ")";
    return Status::kResourceRemove;
}

// An entry's finding: judged again now, and acted on when it still holds.
int repairEntry(const HealthFinding &finding) {
    health::FontSystem fonts;
    const std::wstring folder = health::fontsFolderOf(finding.scope);
    for (const FontEntry &entry : health::entriesNamed(finding.scope, finding.valueName)) {
        if (!stillHolds(health::examineEntry(entry, folder, fonts), finding)) continue;
        return finding.kind == HealthKind::LostAtLogon ? rewriteEntry(entry, finding) : deleteEntry(entry);
    }
    return Status::kNotFound;
}

bool repairedHere(const HealthFinding &finding) {
    switch (finding.kind) {
    case HealthKind::MissingFile:
    case HealthKind::NotLoadable:
        return true;
    case HealthKind::UnnamedCopy:
    case HealthKind::LostAtLogon:
        return finding.scope == HealthScope::CurrentUser;
    default:
        return false;
    }
}

}  // namespace

int repairFinding(const HealthFinding &finding, HealthScope repairs) {
    const char *tag = scopeTag(health::rootOf(finding.scope));
    const std::string subject = finding.valueName.empty() ? finding.path : finding.valueName;
    int status = Status::kException;
    if (finding.scope == repairs && repairedHere(finding)) {
        status = underInstallLock(std::string(tag) + "\t[字体修复]", subject, [&] {
            return finding.kind == HealthKind::UnnamedCopy ? removeUnnamedCopy(finding) : repairEntry(finding);
        });
    }
    const char *outcome = status == Status::kDone ? "[成功]" : status == Status::kNotFound ? "[跳过]" : "[失败]";
    LOG(INFO) << tag << "\t[字体修复]\t[" << healthKindName(finding.kind) << "]\t" << outcome << "\t(" << subject
              << ")\t(" << status << ")";
    if (status == Status::kDone) broadcastFontChange();
    return status;
}

std::vector<int> repairFontHealth(const std::vector<HealthFinding> &findings, HealthScope repairs) {
    std::vector<int> statuses;
    statuses.reserve(findings.size());
    for (const HealthFinding &finding : findings) {
        statuses.push_back(vorla::statusFrame([&] { return repairFinding(finding, repairs); },
                                              [&] { return "[字体修复]\t[异常]\t(" + finding.path + ")\t"; }));
    }
    return statuses;
}
