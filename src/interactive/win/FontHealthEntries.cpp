// Font health: the font entries and the verdict on one entry (see FontHealthEntries.h).
#include "interactive/win/FontHealthEntries.h"

#include "common/NamedFile.h"
#include "common/SafeFile.h"
#include "common/Text.h"

#include <cwctype>

namespace health {

using vorla::utf8ToWide;
using vorla::wideToUtf8;

namespace {

// Subkeys deeper than this are not read (a key can hold a link to an ancestor).
constexpr int kMostDepth = 8;

std::string joined(const std::string &keyPath, const std::string &name) {
    return keyPath.empty() ? name : keyPath + "\\" + name;
}

std::vector<std::string> subkeysOf(const winreg::KeyHandle &key) {
    DWORD count = 0, longest = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return {};
    std::vector<wchar_t> name(static_cast<size_t>(longest) + 1024);
    std::vector<std::string> names;
    for (DWORD index = 0; index < count; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            names.push_back(wideToUtf8(std::wstring(name.data(), length)));
    }
    return names;
}

void readKey(HealthScope scope, const std::string &keyPath, int depth, std::vector<FontEntry> &entries) {
    const winreg::KeyHandle key = openForReading(scope, keyPath);
    if (!key) return;
    for (winreg::StringValue &value : key.listStrings())
        entries.push_back({scope, keyPath, std::move(value.name), value.type, std::move(value.text)});
    if (scope != HealthScope::CurrentUser || depth >= kMostDepth) return;
    for (const std::string &subkey : subkeysOf(key)) readKey(scope, joined(keyPath, subkey), depth + 1, entries);
}

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "X:\..." or "\\...": a text whose meaning hangs on no working folder or drive.
bool isFullPath(const std::wstring &text) {
    if (text.size() >= 3 && std::iswalpha(text[0]) && text[1] == L':' && isSeparator(text[2])) return true;
    return text.size() >= 2 && isSeparator(text[0]) && isSeparator(text[1]);
}

std::wstring inFolder(const std::wstring &folder, const std::wstring &text) { return folder + L"\\" + text; }

bool missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME;
}

// Which named files this process may open: elevated, none on another machine. A process's
// elevation never changes, so it is asked once.
safefile::Network namedFiles() {
    static const safefile::Network network = safefile::processElevated() ? safefile::Network::Refused
                                                                         : safefile::Network::Allowed;
    return network;
}

const char *scopeWords(HealthScope scope) { return scope == HealthScope::CurrentUser ? "per-user" : "all-users"; }

}  // namespace

HKEY rootOf(HealthScope scope) { return scope == HealthScope::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

winreg::KeyHandle openForReading(HealthScope scope, const std::string &keyPath) {
    HKEY key = nullptr;
    const std::string path = joined(kFontsKey, keyPath);
    if (RegOpenKeyExW(rootOf(scope), utf8ToWide(path).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return {};
    return winreg::KeyHandle(key);
}

std::vector<FontEntry> readEntries(HealthScope scope) {
    std::vector<FontEntry> entries;
    readKey(scope, {}, 0, entries);
    return entries;
}

std::vector<FontEntry> entriesNamed(HealthScope scope, const std::string &valueName) {
    std::vector<FontEntry> found;
    const auto take = [&](const std::string &keyPath, const std::string &name) {
        const winreg::KeyHandle key = openForReading(scope, keyPath);
        if (!key) return;
        DWORD type = 0;
        if (RegQueryValueExW(key.get(), utf8ToWide(name).c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        found.push_back({scope, keyPath, name, type, readFontEntry(key, name)});
    };
    take({}, valueName);
    if (scope != HealthScope::CurrentUser) return found;
    for (size_t split = valueName.find('\\'); split != std::string::npos; split = valueName.find('\\', split + 1))
        take(valueName.substr(0, split), valueName.substr(split + 1));
    return found;
}

std::wstring fontsFolderOf(HealthScope scope) {
    return scope == HealthScope::CurrentUser ? safefile::userFontsFolder(safefile::processElevated())
                                             : safefile::systemFontsFolder();
}

EntryFile fileOf(const FontEntry &entry, const std::wstring &folder) {
    const std::wstring text = utf8ToWide(entry.text);
    EntryFile file;
    if (text.find(L'|') != std::wstring::npos) {
        file.form = EntryFile::Form::Several;
        for (size_t start = 0; start <= text.size();) {
            const size_t bar = std::min(text.find(L'|', start), text.size());
            const std::wstring part = text.substr(start, bar - start);
            if (!part.empty()) file.parts.push_back(isFullPath(part) ? part : inFolder(folder, part));
            start = bar + 1;
        }
        return file;
    }
    file.form = isFullPath(text) ? EntryFile::Form::Full : EntryFile::Form::Relative;
    file.path = file.form == EntryFile::Form::Full ? text : inFolder(folder, text);
    if (!safefile::nameable(file.path, namedFiles())) file.form = EntryFile::Form::NoDisk;
    return file;
}

std::wstring pathKey(const std::wstring &path) {
    std::wstring key = safefile::fullPathOf(path);
    if (key.empty()) key = path;
    CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

bool NamedFiles::namesPath(const std::wstring &path) const { return paths.count(pathKey(path)) != 0; }

bool NamedFiles::namesFile(const FileKey &file) const { return file.known && files.count(file) != 0; }

void NamedFiles::add(const std::wstring &path) {
    if (!path.empty()) paths.insert(pathKey(path));
}

void NamedFiles::add(const FileKey &file) {
    if (file.known) files.insert(file);
}

HealthFinding examineEntry(const FontEntry &entry, const std::wstring &folder, FontSystem &fonts, NamedFiles *named,
                           FactsCache *facts) {
    HealthFinding finding;
    finding.scope = entry.scope;
    finding.valueName = entry.valueName();
    if (entry.type != REG_SZ) return finding;  // no font entry Windows reads
    if (isBlank(entry.text)) {
        finding.kind = HealthKind::MissingFile;
        finding.detail = "the entry names no file";
        return finding;
    }
    const EntryFile file = fileOf(entry, folder);
    if (file.form == EntryFile::Form::Several) {
        if (named)
            for (const std::wstring &part : file.parts) named->add(part);
        return finding;
    }
    finding.path = wideToUtf8(file.path);
    if (named) named->add(file.path);
    const bool perUser = entry.scope == HealthScope::CurrentUser;
    const bool lost = perUser && (!entry.keyPath.empty() || file.form == EntryFile::Form::Relative);

    if (file.form == EntryFile::Form::NoDisk) {
        // A device or a pipe is not opened; a share is not reached from an elevated process.
        if (file.path.rfind(L"\\\\", 0) == 0 && safefile::nameable(file.path, safefile::Network::Allowed))
            return finding;
        finding.kind = HealthKind::NotLoadable;
        finding.detail = "not a file on a disk";
        return finding;
    }

    const vorla::UniqueFileHandle handle = safefile::openNamed(file.path, namedFiles());
    if (!handle) {
        const DWORD attributes = GetFileAttributesW(file.path.c_str());
        const DWORD error = GetLastError();
        if (attributes == INVALID_FILE_ATTRIBUTES && missing(error)) {
            finding.kind = HealthKind::MissingFile;
            finding.detail = std::string("the ") + scopeWords(entry.scope) + " entry's file does not exist";
        } else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            finding.kind = HealthKind::NotLoadable;
            finding.detail = "the entry names a folder";
        }
        return finding;  // otherwise it exists and cannot be read: not judged
    }

    const FileKey key = keyOf(handle.get());
    if (named) named->add(key);
    FileFacts found;
    if (facts && key.known && facts->count(key) != 0) {
        found = facts->at(key);
    } else {
        found = examineFile(handle.get(), fonts, lost);
        if (facts && key.known) facts->emplace(key, found);
    }
    finding.size = found.size;
    finding.fontRevision = found.fontRevision;
    if (!found.font) {
        finding.kind = HealthKind::NotLoadable;
        finding.detail = found.problem;
        return finding;
    }
    if (lost) {
        finding.kind = HealthKind::LostAtLogon;
        finding.postscriptName = found.postscriptName;
        finding.detail = entry.keyPath.empty() ? "the entry's data is not a full path: " + entry.text
                                               : "the entry lies in the subkey " + entry.keyPath;
    }
    return finding;
}

}  // namespace health
