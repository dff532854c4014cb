// Font health: the font entries as the check and the repair read them, and the verdict on one
// entry, which both make the same way (the repair judges a finding again before it acts).
#pragma once

#include <windows.h>

#include "interactive/win/FontHealth.h"
#include "interactive/win/FontHealthFile.h"
#include "interactive/win/FontUtil.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace health {

// One value of a Fonts key.
struct FontEntry {
    HealthScope scope = HealthScope::CurrentUser;
    std::string keyPath;  // "" for the Fonts key itself, else the subkey's path below it
    std::string name;     // the value's name
    DWORD type = 0;
    std::string text;  // REG_SZ data
    // The finding's name of the entry: the value's name, after "<keyPath>\" in a subkey.
    std::string valueName() const { return keyPath.empty() ? name : keyPath + "\\" + name; }
};

HKEY rootOf(HealthScope scope);
// The scope's Fonts key (or a subkey of it), opened for reading only; empty when missing.
winreg::KeyHandle openForReading(HealthScope scope, const std::string &keyPath = {});
// Every value of the scope's Fonts key in key order; per user then those of its subkeys, every
// level, each key's values before its subkeys'. A key missing gives nothing.
std::vector<FontEntry> readEntries(HealthScope scope);
// The entries a finding's value name may stand for: the value of that name in the Fonts key,
// then per user each split of it into a subkey path and a value name (a value's name may hold a
// backslash; a key's never does).
std::vector<FontEntry> entriesNamed(HealthScope scope, const std::string &valueName);

// The scope's fonts folder, without a trailing backslash; "" when unknown.
std::wstring fontsFolderOf(HealthScope scope);

// The file an entry's data names.
struct EntryFile {
    enum class Form {
        Full,      // a full path
        Relative,  // not a full path: taken in the scope's fonts folder
        Several,   // "a.pfm|a.pfb": files of one Type 1 font, not judged
        NoDisk     // not a file on a disk this process may open (a device, a pipe; elevated, a share)
    };
    Form form = Form::Full;
    std::wstring path;                // the full path (Full, Relative, NoDisk)
    std::vector<std::wstring> parts;  // Several: each part as a full path
};
EntryFile fileOf(const FontEntry &entry, const std::wstring &folder);

// The text a set of paths compares: made absolute and in upper case (as Windows compares names).
std::wstring pathKey(const std::wstring &path);

// The files entries name, as the check gathers them: by path and by opened file.
struct NamedFiles {
    std::set<std::wstring> paths;  // pathKey of each
    std::set<FileKey> files;
    bool namesPath(const std::wstring &path) const;
    bool namesFile(const FileKey &file) const;
    void add(const std::wstring &path);  // an empty text names nothing
    void add(const FileKey &file);
};

// The verdict on one entry: a finding (missingFile, notLoadable, lostAtLogon) or one of kind
// Unknown when the entry is sound or cannot be judged (a file that exists and cannot be read).
// named, when given, gets the files the entry names; facts, when given, keeps what each opened
// file was found to be (by identity), so a file that several entries name is read once.
using FactsCache = std::map<FileKey, FileFacts>;
HealthFinding examineEntry(const FontEntry &entry, const std::wstring &folder, FontSystem &fonts,
                           NamedFiles *named = nullptr, FactsCache *facts = nullptr);

}  // namespace health
