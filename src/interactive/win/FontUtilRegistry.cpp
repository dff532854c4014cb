// Font installation core: registry layer, font registry entries, fonts folders.
#include "FontUtil.h"

#include "common/Raii.h"
#include "common/Text.h"
#include "easylogging++.h"

#include <shlobj.h>

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
    LONG status = RegCreateKeyExW(root, utf8ToWide(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  kAccessMask, nullptr, &key, nullptr);
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
    if (status != ERROR_SUCCESS) throw RegException(status, "Cannot get string value: RegGetValue failed.");
    // RegGetValue guarantees a terminating NUL within the returned size.
    data.resize(bufferSize / sizeof(wchar_t));
    data.resize(data.find(L'\0') == std::wstring::npos ? data.size() : data.find(L'\0'));
    return wideToUtf8(data);
}

std::vector<ValueEntry> KeyHandle::listValues() const {
    DWORD count = 0;
    DWORD longestName = 0;
    LONG status = RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                   &longestName, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
        throw RegException(status, "RegQueryInfoKeyW failed while preparing for value enumeration.");
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
const char *const kSystemFontsFolder = "C:\\Windows\\Fonts\\";

const char *scopeTag(HKEY root) {
    return root == HKEY_CURRENT_USER ? "[当前用户字体]" : "[系统所有用户字体]";
}

const char *scopeBareTag(HKEY root) {
    return root == HKEY_CURRENT_USER ? "当前用户字体" : "系统所有用户字体";
}

std::string fontRegValueName(const std::string &family) {
    return family.find("(TrueType)") != std::string::npos ? family : family + " (TrueType)";
}

bool setFontRegValueByFamilyAndPath(HKEY root, const std::string &family, const std::string &path) {
    try {
        winreg::KeyHandle key;
        // A fresh profile has no per-user Fonts key yet; the per-user store is created on demand.
        LONG opened = root == HKEY_CURRENT_USER ? key.create(root, kFontsKey) : key.open(root, kFontsKey);
        if (opened != ERROR_SUCCESS) return false;
        return key.setString(fontRegValueName(family), path) == ERROR_SUCCESS;
    } catch (const std::exception &e) {
        LOG(ERROR) << "[注册表]" << "\t" << "[设置注册表值] [失败]" << e.what();
        return false;
    }
}

std::string getFontRegStringValueByPath(HKEY root, const std::string &path) {
    winreg::KeyHandle key;
    if (key.open(root, kFontsKey) != ERROR_SUCCESS) return {};
    try {
        const bool system = isSystemFontPath(path);
        const std::string lowered = toLower(path);
        const std::string wanted = fileNameOf(lowered);
        const std::filesystem::path target = toWidePath(weaklyCanonicalText(lowered));
        for (const winreg::ValueEntry &entry : key.listValues()) {
            const std::string data = toLower(key.readString(entry.name));
            if (target == toWidePath(weaklyCanonicalText(data))) return entry.name;
            if (system && fileNameOf(data) == wanted) return entry.name;
        }
    } catch (const std::exception &e) {
        LOG(ERROR) << "[注册表]" << "\t" << "[注册表获取信息失败]" << e.what();
    }
    return {};
}

std::string getFontRegStringValueByName(HKEY root, const std::string &valueName) {
    try {
        winreg::KeyHandle key;
        if (key.open(root, kFontsKey) != ERROR_SUCCESS) return {};
        return key.readString(valueName);
    } catch (const std::exception &) {
        return {};
    }
}

bool deleteFontRegValue(HKEY root, const std::string &valueName) {
    try {
        winreg::KeyHandle key;
        if (key.open(root, kFontsKey) != ERROR_SUCCESS) return false;
        if (isBlank(valueName)) return false;
        return key.deleteValue(valueName) == ERROR_SUCCESS;
    } catch (const std::exception &) {
        return false;
    }
}

std::string localFontsFolder() {
    wchar_t buffer[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_LOCAL_APPDATA, FALSE);
    return wideToUtf8(buffer) + "\\Microsoft\\Windows\\Fonts\\";
}

bool isSystemFontPath(const std::string &path) {
    return toLower(weaklyCanonicalText(path)).find("c:\\windows\\fonts") != std::string::npos;
}
