// Fixtures of the installation-core tests: scratch registry keys, raw access to the
// font registry values (independent of the code under test) and fonts.
#pragma once

#include "common/Text.h"
#include "support/SfntBuilder.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <string>
#include <vector>

namespace corefix {

using vorla::utf8ToWide;
using vorla::wideToUtf8;

constexpr const wchar_t *kFontsKeyW = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr const char *kDejaVuFolder = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\";

// HKCU\Software\VorlaCoreTest\<name>, fresh for the test, removed afterwards.
struct ScratchKey {
    std::string path;
    HKEY key = nullptr;
    explicit ScratchKey(const std::string &name) : path("Software\\VorlaCoreTest\\" + name) {
        RegDeleteTreeW(HKEY_CURRENT_USER, utf8ToWide(path).c_str());
        RegCreateKeyExW(HKEY_CURRENT_USER, utf8ToWide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
    }
    ~ScratchKey() {
        RegCloseKey(key);
        RegDeleteTreeW(HKEY_CURRENT_USER, utf8ToWide(path).c_str());
    }
};

struct RawValue {
    bool exists = false;
    DWORD type = 0;
    DWORD bytes = 0;
    std::string text;  // REG_SZ data up to its first NUL, as UTF-8
};

inline RawValue readRawFontValue(HKEY root, const std::string &name) {
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kFontsKeyW, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    std::wstring data(32768, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, utf8ToWide(name).c_str(), nullptr, &value.type, reinterpret_cast<BYTE *>(data.data()),
                         &size) == ERROR_SUCCESS) {
        value.exists = true;
        value.bytes = size;
        data.resize(wcsnlen(data.c_str(), size / sizeof(wchar_t)));
        value.text = wideToUtf8(data);
    }
    RegCloseKey(key);
    return value;
}

// REG_SZ/REG_EXPAND_SZ data is taken as UTF-8 text, any other type as raw bytes.
inline void setRawFontValue(HKEY root, const std::string &name, DWORD type, const std::string &data) {
    HKEY key = nullptr;
    RegCreateKeyExW(root, kFontsKeyW, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        const std::wstring wide = utf8ToWide(data);
        RegSetValueExW(key, utf8ToWide(name).c_str(), 0, type, reinterpret_cast<const BYTE *>(wide.c_str()),
                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    } else {
        RegSetValueExW(key, utf8ToWide(name).c_str(), 0, type, reinterpret_cast<const BYTE *>(data.data()),
                       static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
}

inline void deleteRawFontValue(HKEY root, const std::string &name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kFontsKeyW, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, utf8ToWide(name).c_str());
    RegCloseKey(key);
}

// The file and folder helpers of every test, under the names these tests use.
using testsupport::exists;
using testsupport::readFile;
using testsupport::scratchFolder;
using testsupport::writeFile;

inline std::string toUpper(std::string text) {
    for (char &c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

inline std::string slashes(std::string text) {
    for (char &c : text) {
        if (c == '\\') c = '/';
    }
    return text;
}

// DejaVu Sans (a font the platform loads) with exactly the given naming records.
inline std::string dejaVuWithNames(const std::vector<sfnt::NameRecord> &records) {
    static const std::string base = sfnt::readBinary(std::string(kDejaVuFolder) + "DejaVuSans.ttf");
    return sfnt::withNames(base, records);
}

// DejaVu Sans with English Windows names for the family (so the platform loads it
// under a name no other test uses) plus any extra records a case needs.
inline std::string renamedDejaVu(const std::string &family, std::vector<sfnt::NameRecord> extra = {}) {
    std::vector<sfnt::NameRecord> records = {
        sfnt::windowsName(sfnt::kFamily, sfnt::kWinEnglish, family),
        sfnt::windowsName(sfnt::kSubfamily, sfnt::kWinEnglish, "Book"),
        sfnt::windowsName(sfnt::kFullName, sfnt::kWinEnglish, family),
        sfnt::windowsName(sfnt::kPostScript, sfnt::kWinEnglish, "Vorla-PS"),
    };
    records.insert(records.end(), extra.begin(), extra.end());
    return dejaVuWithNames(records);
}

}  // namespace corefix
