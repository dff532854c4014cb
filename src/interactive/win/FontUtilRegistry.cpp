// Font installation core: registry layer, font registry entries, fonts folders.
#include "FontUtil.h"

#include "common/NamedFile.h"
#include "common/Raii.h"
#include "common/SafeFile.h"
#include "common/Text.h"
#include "easylogging++.h"

#include <algorithm>
#include <map>
#include <mutex>

using vorla::utf8ToWide;
using vorla::wideToUtf8;

namespace winreg {

KeyHandle &KeyHandle::operator=(KeyHandle &&other) noexcept {
    if (this != &other) {
        close();
        key_ = other.key_;
        other.key_ = nullptr;
    }
    return *this;
}

bool KeyHandle::isPredefined(HKEY key) { return vorla::isPredefinedKey(key); }

void KeyHandle::close() {
    if (key_ != nullptr && !isPredefined(key_)) RegCloseKey(key_);
    key_ = nullptr;
}

LONG KeyHandle::open(HKEY root, const std::string &subKey) {
    close();
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(root, utf8ToWide(subKey).c_str(), 0, kAccessMask, &key);
    if (status == ERROR_SUCCESS) key_ = key;
    return status;
}

LONG KeyHandle::create(HKEY root, const std::string &subKey) {
    close();
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(root, utf8ToWide(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kAccessMask,
                                  nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) key_ = key;
    return status;
}

std::string KeyHandle::readString(const std::string &valueName) const {
    // REG_SZ only: without RRF_NOEXPAND the platform would also accept and expand REG_EXPAND_SZ.
    constexpr DWORD kFlags = RRF_RT_REG_SZ | RRF_NOEXPAND;
    const std::wstring name = utf8ToWide(valueName);
    DWORD size = 0;
    if (RegGetValueW(key_, nullptr, name.c_str(), kFlags, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return {};
    }
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bufferSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    LONG status = RegGetValueW(key_, nullptr, name.c_str(), kFlags, nullptr, data.data(), &bufferSize);
    if (status != ERROR_SUCCESS)
        throw RegException(status, "RegGetValueW", "Cannot get string value: RegGetValue failed.");
    // RegGetValue guarantees a terminating NUL within the returned size.
    data.resize(bufferSize / sizeof(wchar_t));
    data.resize(data.find(L'\0') == std::wstring::npos ? data.size() : data.find(L'\0'));
    return wideToUtf8(data);
}

bool KeyHandle::hasValue(const std::string &valueName) const {
    return RegQueryValueExW(key_, utf8ToWide(valueName).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<ValueEntry> KeyHandle::listValues() const {
    DWORD count = 0;
    DWORD longestName = 0;
    LONG status = RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                                   nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
        throw RegException(status, "RegQueryInfoKeyW",
                           "RegQueryInfoKeyW failed while preparing for value enumeration.");
    }
    // Slack for names that grow while we enumerate; the terminator included.
    std::vector<wchar_t> buffer(static_cast<size_t>(longestName) + 1024);
    std::vector<ValueEntry> entries;
    entries.reserve(count);
    for (DWORD index = 0; index < count; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        DWORD type = 0;
        if (RegEnumValueW(key_, index, buffer.data(), &length, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) {
            continue;  // value removed meanwhile, or name grown past the slack
        }
        entries.push_back({wideToUtf8(std::wstring(buffer.data(), length)), type});
    }
    return entries;
}

std::vector<StringValue> KeyHandle::listStrings() const {
    DWORD count = 0, longestName = 0, longestData = 0;
    LONG status = RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                                   &longestData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
        throw RegException(status, "RegQueryInfoKeyW",
                           "RegQueryInfoKeyW failed while preparing for value enumeration.");
    }
    std::vector<wchar_t> name(static_cast<size_t>(longestName) + 1024);
    std::vector<wchar_t> data(static_cast<size_t>(longestData) / sizeof(wchar_t) + 1024);
    std::vector<StringValue> values;
    values.reserve(count);
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        status = RegEnumValueW(key_, index, name.data(), &nameLength, nullptr, &type,
                               reinterpret_cast<BYTE *>(data.data()), &dataBytes);
        if (status == ERROR_MORE_DATA) {
            // Data grown since the key was measured: read it alone as readString does.
            nameLength = static_cast<DWORD>(name.size());
            if (RegEnumValueW(key_, index, name.data(), &nameLength, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
                continue;
            std::string valueName = wideToUtf8(std::wstring(name.data(), nameLength));
            std::string text = readString(valueName);
            values.push_back({std::move(valueName), type, std::move(text)});
            continue;
        }
        if (status != ERROR_SUCCESS) continue;  // value removed meanwhile, or name grown past the slack
        std::string text;
        if (type == REG_SZ) {
            // As readString: the text up to the first NUL within the data.
            std::wstring wide(data.data(), dataBytes / sizeof(wchar_t));
            wide.resize(std::min(wide.size(), wide.find(L'\0')));
            text = wideToUtf8(wide);
        }
        values.push_back({wideToUtf8(std::wstring(name.data(), nameLength)), type, std::move(text)});
    }
    return values;
}

KeyStamp KeyHandle::stamp() const {
    KeyStamp result;
    FILETIME written{};
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &result.values, nullptr, nullptr,
                         nullptr, &written) == ERROR_SUCCESS) {
        result.written = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    }
    return result;
}

LONG KeyHandle::setString(const std::string &valueName, const std::string &data) const {
    const std::wstring wideData = utf8ToWide(data);
    return RegSetValueExW(key_, utf8ToWide(valueName).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE *>(wideData.c_str()),
                          static_cast<DWORD>((wideData.size() + 1) * sizeof(wchar_t)));
}

LONG KeyHandle::deleteValue(const std::string &valueName) const {
    return RegDeleteValueW(key_, utf8ToWide(valueName).c_str());
}

}  // namespace winreg

// ---------------------------------------------------------------------------
const char *const kFontsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

const char *scopeTag(HKEY root) { return root == HKEY_CURRENT_USER ? "[当前用户字体]" : "[系统所有用户字体]"; }

const char *scopeBareTag(HKEY root) { return root == HKEY_CURRENT_USER ? "当前用户字体" : "系统所有用户字体"; }

std::string fontRegValueName(const std::string &family) {
    return family.find("(TrueType)") != std::string::npos ? family : family + " (TrueType)";
}

std::string lastElementKey(const std::string &text) {
    size_t start = 0;
    for (size_t i = text.size(); i-- > 0;) {
        if (text[i] == '\\' || text[i] == '/' || (text[i] == ':' && i == 1)) {
            start = i + 1;
            break;
        }
    }
    std::string key = text.substr(start);
    if (key.find(':') != std::string::npos) return {};  // a stream name or a device: compared in full
    while (!key.empty() && (key.back() == '.' || key.back() == ' ')) key.pop_back();
    return key;
}

namespace {

// What the lookup keeps of one value of a Fonts key between calls.
struct CachedEntry {
    std::string name;      // value name, as listed
    std::string data;      // lower-cased REG_SZ text; "" for other types
    std::string key;       // lastElementKey(data)
    std::string fileName;  // fileNameOf(data)
    std::string text;      // the REG_SZ text as written, for its canonical form
};

// The values of one root's Fonts key as last read, with the key's value count and last
// write time at that moment. The lookup trusts it while both are unchanged; a hit is read
// again before it is returned and a miss reads the key afresh, so a write that leaves both
// unchanged (another process within one tick of the clock) costs a re-read, not a wrong answer.
struct KeySnapshot {
    bool valid = false;
    winreg::KeyStamp stamp;
    std::vector<CachedEntry> entries;
};

std::mutex snapshotMutex;
std::map<HKEY, KeySnapshot> snapshots;  // guarded by snapshotMutex

void readSnapshot(const winreg::KeyHandle &key, KeySnapshot &snapshot) {
    snapshot.valid = false;
    snapshot.stamp = key.stamp();
    std::vector<winreg::StringValue> values = key.listStrings();
    snapshot.entries.clear();
    snapshot.entries.reserve(values.size());
    for (winreg::StringValue &value : values) {
        std::string data = toLower(value.text);
        std::string lastKey = lastElementKey(data);
        std::string fileName = fileNameOf(data);
        snapshot.entries.push_back(
            {std::move(value.name), std::move(data), std::move(lastKey), std::move(fileName), std::move(value.text)});
    }
    snapshot.valid = true;
}

// A last path element of the form of an 8.3 short name: up to 8 characters, then at most one
// dot and up to 3 more, no space.
bool isShortName(const std::string &element) {
    const size_t dot = element.find('.');
    const size_t base = dot == std::string::npos ? element.size() : dot;
    const size_t extension = dot == std::string::npos ? 0 : element.size() - dot - 1;
    return base >= 1 && base <= 8 && extension <= 3 && element.find(' ') == std::string::npos &&
           (dot == std::string::npos || element.find('.', dot + 1) == std::string::npos);
}

// Our own write to the key: keep the snapshot in step (or drop it) and take the key's new stamp.
void noteWrite(HKEY root, const winreg::KeyHandle &key, const std::string &valueName, const std::string *data) {
    std::lock_guard<std::mutex> lock(snapshotMutex);
    auto found = snapshots.find(root);
    if (found == snapshots.end() || !found->second.valid) return;
    KeySnapshot &snapshot = found->second;
    auto entry = std::find_if(snapshot.entries.begin(), snapshot.entries.end(),
                              [&](const CachedEntry &e) { return e.name == valueName; });
    if (entry == snapshot.entries.end() && data != nullptr) {
        // A new value goes last, where Windows lists it (Wine lists values sorted by name:
        // the order differs only between two values naming the same file). A value name
        // spelled in another case than the listed one would be a second entry here: the
        // key is read again next time instead.
        const bool sameNameOtherCase = std::any_of(
            snapshot.entries.begin(), snapshot.entries.end(),
            [&](const CachedEntry &e) { return toLower(e.name) == toLower(valueName); });
        if (sameNameOtherCase) {
            snapshot.valid = false;
            return;
        }
        std::string lowered = toLower(*data);
        std::string lastKey = lastElementKey(lowered);
        std::string fileName = fileNameOf(lowered);
        snapshot.entries.push_back({valueName, std::move(lowered), std::move(lastKey), std::move(fileName), *data});
    } else if (entry == snapshot.entries.end()) {
        snapshot.valid = false;  // a deleted name spelled in another case than the listed one
        return;
    } else if (data == nullptr) {
        snapshot.entries.erase(entry);
    } else {
        entry->data = toLower(*data);
        entry->key = lastElementKey(entry->data);
        entry->fileName = fileNameOf(entry->data);
        entry->text = *data;
    }
    snapshot.stamp = key.stamp();
}

// The canonical form of an absolute path, lower-cased; empty for a relative one (its meaning
// would hang on the working folder), which matches nothing. The form is made of the text as
// written and lower-cased afterwards: it keeps the letter case it is given, and a lower-cased
// text would cost Wine a search of every folder on the way whose name has capitals, the fonts
// folder with every font in it among them.
std::filesystem::path canonicalKey(const std::string &text) {
    if (!toWidePath(text).is_absolute()) return {};
    return toWidePath(toLower(weaklyCanonicalText(text)));
}

}  // namespace

winreg::KeyHandle openFontsKey(HKEY root) {
    winreg::KeyHandle key;
    // A fresh profile has no per-user Fonts key yet; the per-user store is created on demand.
    if (root == HKEY_CURRENT_USER) {
        key.create(root, kFontsKey);
    } else {
        key.open(root, kFontsKey);
    }
    return key;
}

bool writeFontEntry(HKEY root, const winreg::KeyHandle &key, const std::string &valueName, const std::string &path) {
    try {
        if (key.setString(valueName, path) != ERROR_SUCCESS) return false;
        noteWrite(root, key, valueName, &path);
        return true;
    } catch (const std::exception &e) {
        LOG(ERROR) << "[注册表]\t[设置注册表值] [失败]" << e.what();
        vorla::logExceptionCode(e);
        return false;
    }
}

bool removeFontEntry(HKEY root, const winreg::KeyHandle &key, const std::string &valueName) {
    try {
        if (isBlank(valueName)) return false;
        if (key.deleteValue(valueName) != ERROR_SUCCESS) return false;
        noteWrite(root, key, valueName, nullptr);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

std::string readFontEntry(const winreg::KeyHandle &key, const std::string &valueName) {
    try {
        return key.readString(valueName);
    } catch (const std::exception &) {
        return {};
    }
}

bool setFontRegValueByFamilyAndPath(HKEY root, const std::string &family, const std::string &path) {
    const winreg::KeyHandle key = openFontsKey(root);
    return key && writeFontEntry(root, key, fontRegValueName(family), path);
}

EntryLookup lookupFontEntry(HKEY root, const winreg::KeyHandle &key, const std::string &path) {
    try {
        const bool system = isSystemFontPath(path);
        const std::string lowered = toLower(path);
        const std::string wanted = fileNameOf(lowered);
        const std::string wantedKey = lastElementKey(lowered);
        const std::filesystem::path target = canonicalKey(path);

        // A value matches when its data, made canonical, equals the path made canonical
        // (or, for all-users fonts, when its file name equals the path's). Canonical forms
        // are costly (each one looks at the disk), so only values whose last path element
        // equals the path's are made canonical. Making a path canonical here resolves "." and
        // ".." and separators (a relative text matches nothing), and keeps the last element
        // (the key takes it without trailing dots and spaces, in case a platform drops them).
        // The filesystem library of this toolchain follows no link on Windows and expands no
        // short 8.3 name, so neither gives a match under another file name (with a library
        // that resolved links, a link under another name would escape this test). A value
        // whose last element canonicalisation may replace ("." or "..", a trailing separator,
        // a stream name) has the key "" and is always made canonical, as is every value when
        // the path itself has such an element.
        const auto matches = [&](const CachedEntry &entry) {
            if (!target.empty() && (wantedKey.empty() || entry.key.empty() || entry.key == wantedKey)) {
                if (target == canonicalKey(entry.text)) return true;
            }
            return system && entry.fileName == wanted;
        };

        std::lock_guard<std::mutex> lock(snapshotMutex);
        KeySnapshot &snapshot = snapshots[root];
        bool fresh = false;
        if (!snapshot.valid || !(snapshot.stamp == key.stamp())) {
            readSnapshot(key, snapshot);
            fresh = true;
        }
        for (;;) {
            for (const CachedEntry &entry : snapshot.entries) {
                if (!matches(entry)) continue;
                if (fresh) return {true, entry.name};
                // Confirm the value still says so before it is used.
                const std::string now = toLower(key.readString(entry.name));
                if (now == entry.data) return {true, entry.name};
                break;
            }
            if (fresh) return {true, {}};
            readSnapshot(key, snapshot);  // a miss, or a value changed behind our back
            fresh = true;
        }
    } catch (const std::exception &e) {
        LOG(ERROR) << "[注册表]\t[注册表获取信息失败]" << e.what();
        vorla::logExceptionCode(e);
    }
    return {};
}

std::string findFontEntry(HKEY root, const winreg::KeyHandle &key, const std::string &path) {
    return lookupFontEntry(root, key, path).name;
}

FileNaming fileNaming(HKEY root, const winreg::KeyHandle &key, const std::string &path) {
    if (!key) return FileNaming::Unknown;
    const EntryLookup lookup = lookupFontEntry(root, key, path);
    if (!lookup.read) return FileNaming::Unknown;
    if (!lookup.name.empty()) return FileNaming::Named;
    // The lookup compares canonical forms, which keep 8.3 short elements as written. Here the
    // long forms are compared too, of the values that can name the file that way: those whose
    // last element is the file's, or has the shape of a short name.
    const std::wstring target = safefile::longPathOf(utf8ToWide(path));
    if (target.empty()) return FileNaming::Unknown;
    const std::string fileName = toLower(fileNameOf(wideToUtf8(target)));
    const std::string fileKey = lastElementKey(fileName);
    std::vector<std::string> candidates;
    {
        std::lock_guard<std::mutex> lock(snapshotMutex);
        const KeySnapshot &snapshot = snapshots[root];
        if (!snapshot.valid) return FileNaming::Unknown;
        for (const CachedEntry &entry : snapshot.entries) {
            if (entry.data.empty()) continue;
            if (entry.data.find_first_of("\\/") == std::string::npos) {
                if (entry.key == fileKey) return FileNaming::Named;  // a bare name: the file's, wherever
                continue;
            }
            if (entry.key == fileKey || entry.key.empty() || isShortName(entry.key)) candidates.push_back(entry.text);
        }
    }
    for (const std::string &text : candidates) {
        const std::wstring wide = utf8ToWide(text);
        if (safefile::nameable(wide, safefile::Network::Refused) &&
            safefile::samePath(safefile::longPathOf(wide), target))
            return FileNaming::Named;
    }
    return FileNaming::Unnamed;
}

winreg::KeyHandle openExistingFontsKey(HKEY root) {
    winreg::KeyHandle key;
    key.open(root, kFontsKey);
    return key;
}

std::string getFontRegStringValueByPath(HKEY root, const std::string &path) {
    winreg::KeyHandle key;
    if (key.open(root, kFontsKey) != ERROR_SUCCESS) return {};
    return findFontEntry(root, key, path);
}

std::string getFontRegStringValueByName(HKEY root, const std::string &valueName) {
    winreg::KeyHandle key;
    if (key.open(root, kFontsKey) != ERROR_SUCCESS) return {};
    return readFontEntry(key, valueName);
}

bool deleteFontRegValue(HKEY root, const std::string &valueName) {
    winreg::KeyHandle key;
    if (key.open(root, kFontsKey) != ERROR_SUCCESS) return false;
    return removeFontEntry(root, key, valueName);
}

std::string systemFontsFolder() { return wideToUtf8(safefile::systemFontsFolder()) + "\\"; }

std::string localFontsFolder() { return wideToUtf8(safefile::userFontsFolder(safefile::processElevated())) + "\\"; }

bool isSystemFontPath(const std::string &path) {
    const std::string folder = toLower(systemFontsFolder());
    std::string canonical = toLower(weaklyCanonicalText(path));
    if (canonical.rfind("\\\\?\\", 0) == 0) canonical.erase(0, 4);
    return folder.size() > 1 && canonical.rfind(folder, 0) == 0;
}
