// Font installation core, shared by VorlaNode.dll and Marlet.exe.
//
// Every text here is UTF-8. Platform calls get UTF-16 (the "W" functions), so
// no character is lost to the system ANSI code page. The conversions themselves
// live in common/Text.h.
// Every call opens and closes what it uses. The one state kept between calls is what
// the lookup by path read of each root's Fonts key (findFontEntry), guarded by a lock of
// its own and checked against the key before use. Serialising installs and uninstalls
// is the business of the caller (WindowsInterActive in the DLL).
#pragma once

#include <windows.h>

#include "common/PlatformError.h"
#include "common/Text.h"
#include "interactive/win/NameTable.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

// ---------------------------------------------------------------------------
// Registry layer.
namespace winreg {

// Access mask of every open: KEY_READ | KEY_WOW64_64KEY | KEY_CREATE_SUB_KEY | KEY_SET_VALUE.
constexpr REGSAM kAccessMask = 0x2011F;

// A failed Reg* call: its result as the error code, and the call's name when given.
class RegException : public std::system_error, public vorla::PlatformFailure {
public:
    RegException(LONG status, const std::string &message) : RegException(status, nullptr, message) {}
    RegException(LONG status, const char *call, const std::string &message)
        : std::system_error(static_cast<int>(status), std::system_category(), message),
          vorla::PlatformFailure(call, static_cast<std::uint32_t>(status), vorla::CodeKind::Win32) {}
};

struct ValueEntry {
    std::string name;  // UTF-8
    DWORD type = 0;    // REG_SZ, REG_EXPAND_SZ, ...
};

// A value with its text: REG_SZ data up to the first NUL; "" for values of other types.
struct StringValue {
    std::string name;  // UTF-8
    DWORD type = 0;
    std::string text;  // UTF-8
};

// What changes when a key's values change: their number and the key's last write time
// (0 when the key cannot be queried).
struct KeyStamp {
    DWORD values = 0;
    std::uint64_t written = 0;
    bool operator==(const KeyStamp &other) const { return values == other.values && written == other.written; }
};

// Owns at most one open key; the predefined roots are never closed.
class KeyHandle {
public:
    KeyHandle() = default;
    explicit KeyHandle(HKEY key) : key_(key) {}
    KeyHandle(const KeyHandle &) = delete;
    KeyHandle &operator=(const KeyHandle &) = delete;
    KeyHandle(KeyHandle &&other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    KeyHandle &operator=(KeyHandle &&other) noexcept;
    ~KeyHandle() { close(); }

    // RegOpenKeyExW with kAccessMask; on failure the holder stays empty. No exception.
    LONG open(HKEY root, const std::string &subKey);
    // RegCreateKeyExW with kAccessMask (opens the key when it exists).
    LONG create(HKEY root, const std::string &subKey);
    void close();
    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

    // REG_SZ value text; "" when missing or of another type. Throws RegException
    // only when the value changes between the size query and the read.
    std::string readString(const std::string &valueName) const;
    // Every value (name, type) in index order. Throws RegException when the key query fails.
    std::vector<ValueEntry> listValues() const;
    // Every value with its text (as readString reads it), in index order, one platform call
    // per value. Throws RegException when the key query fails.
    std::vector<StringValue> listStrings() const;
    KeyStamp stamp() const;
    LONG setString(const std::string &valueName, const std::string &data) const;
    LONG deleteValue(const std::string &valueName) const;

    static bool isPredefined(HKEY key);

private:
    HKEY key_ = nullptr;
};

}  // namespace winreg

// ---------------------------------------------------------------------------
// Text and path helpers.
std::string toLower(std::string text);            // ASCII A-Z only
using vorla::isBlank;                             // empty or only space, \t, \n, \r
std::string fileNameOf(const std::string &text);  // after the last '\' or '/'
std::filesystem::path toWidePath(const std::string &text);
// The last element of a path as its canonical form keeps it: the text after the last '\',
// '/' (or a drive's ':'), without trailing dots and spaces. "" when canonicalisation may
// replace that element: ".", "..", a trailing separator, a ':' (stream or device).
std::string lastElementKey(const std::string &text);
// Throws std::filesystem::filesystem_error when normalisation fails.
std::string weaklyCanonicalText(const std::string &text);

// ---------------------------------------------------------------------------
// Files and font resources.
// True when anything is at path; false when it (or its folder) is not found.
// Throws std::filesystem::filesystem_error when the status cannot be read.
bool fileExists(const std::string &path);
// Removes path when it is a regular file; true on success. Status errors throw as in fileExists.
bool deleteRegularFile(const std::string &path);
// Copies a regular file over any existing target; false on every error.
bool copyFileOverwrite(const std::string &from, const std::string &to);
bool addFontResource(const std::string &path);     // AddFontResourceW
bool removeFontResource(const std::string &path);  // RemoveFontResourceW
void broadcastFontChange();                        // WM_FONTCHANGE posted to HWND_BROADCAST

// ---------------------------------------------------------------------------
// Font registry entries and fonts folders.
extern const char *const kFontsKey;  // SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts

// Scope tags of the log lines: current user for HKEY_CURRENT_USER, all users otherwise.
const char *scopeTag(HKEY root);      // "[当前用户字体]" / "[系统所有用户字体]"
const char *scopeBareTag(HKEY root);  // "当前用户字体" / "系统所有用户字体"

// Value name of a font entry: family + " (TrueType)", or family unchanged when it holds "(TrueType)".
std::string fontRegValueName(const std::string &family);
// Writes fontRegValueName(family) = path.
// Under HKEY_CURRENT_USER the key is created when missing; other roots are only opened.
bool setFontRegValueByFamilyAndPath(HKEY root, const std::string &family, const std::string &path);
// The Fonts key of root, opened (created when missing under HKEY_CURRENT_USER); empty on failure.
winreg::KeyHandle openFontsKey(HKEY root);
// The entry operations on a Fonts key the caller holds open. The write logs an ERROR line
// when an exception is caught; reading gives "" when there is no such REG_SZ value.
bool writeFontEntry(HKEY root, const winreg::KeyHandle &key, const std::string &valueName, const std::string &path);
bool removeFontEntry(HKEY root, const winreg::KeyHandle &key, const std::string &valueName);  // false for a blank name
std::string readFontEntry(const winreg::KeyHandle &key, const std::string &valueName);
// Value name of the first entry of root's Fonts key (held open by the caller) whose data
// names the file; "" when none. Keeps what it read of each root's key between calls, for as
// long as the key's value count and last write time stay the same; the writes above keep it
// in step.
std::string findFontEntry(HKEY root, const winreg::KeyHandle &key, const std::string &path);
// The same, opening the key only for the lookup; "" when it is missing.
std::string getFontRegStringValueByPath(HKEY root, const std::string &path);
// Data of the entry of that value name; "" when there is none.
std::string getFontRegStringValueByName(HKEY root, const std::string &valueName);
bool deleteFontRegValue(HKEY root, const std::string &valueName);
// The fonts folders (common/SafeFile.h), ending with a backslash; "\" alone when unknown.
// All users: the known Fonts folder. Per user: %LOCALAPPDATA%\Microsoft\Windows\Fonts\, where
// an elevated process takes the profile directory from its token and never reads the
// user's shell-folder settings.
std::string systemFontsFolder();
std::string localFontsFolder();
// True when the path, made canonical, lies under the all-users fonts folder.
bool isSystemFontPath(const std::string &path);

// ---------------------------------------------------------------------------
// Permanent install and uninstall (no lock here; the caller serialises).
// The copy goes into folder (made when missing for the current user) under the source's base
// name made safe, or the first free name of its chain (0_name, 1_name, ...), created without
// replacing anything. A folder that leads elsewhere than its text in an elevated process is
// refused (1013, one ERROR line). The uninstall deletes the file only when the opened file
// lies in a fonts folder; elsewhere it is kept with one WARNING line (status 0).
int installFontFile(HKEY root, const std::string &family, const std::string &path, const std::string &folder);
// 0, 1005, 1007 (the platform refused to load the copy; entry and copy undone), 1011, 1013, 1111.
int persistentFontInstall(HKEY root, const std::string &family, const std::string &path);
// 0, 1005, 1011, 1015 (1011/1015 after compensation). deleteEntry is the registry delete
// step; tests hand in one that meets a value deleted meanwhile.
using FontRegDelete = bool (*)(HKEY root, const winreg::KeyHandle &key, const std::string &valueName);
int persistentFontUnInstall(HKEY root, const std::string &family, const std::string &postscriptName,
                            const std::string &path, FontRegDelete deleteEntry = removeFontEntry);

// Per-font entry logic of a permanent install/uninstall, as both binaries run it:
// 1005 when no file is at path; otherwise the operation, then broadcastFontChange().
// Install always targets the current user; uninstall picks the scope from the path.
int installFontEntry(const std::string &family, const std::string &path);
int uninstallFontEntry(const std::string &family, const std::string &postscriptName, const std::string &path);

// Runs step under the session's install lock, the one the registry steps of installs and
// uninstalls take, and returns its status. A lock not taken within its bounded wait gives 1011,
// with one ERROR line "<tag>\t[等待安装锁超时]\t(<subject>)" and the DEBUG line of its code.
int underInstallLock(const std::string &tag, const std::string &subject, const std::function<int()> &step);
