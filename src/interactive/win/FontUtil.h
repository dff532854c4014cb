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
    // True when a value of that name exists, of any type.
    bool hasValue(const std::string &valueName) const;
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
// The platform's font table counts loads: a file loaded twice needs two removals. A file that is
// going away has its resource removed until the platform says it is not loaded, at most this often
// (the loads of other programs end too). The number of removals; 0 when the first one failed.
constexpr int kMostResourceRemovals = 64;
int unloadFontResource(const std::string &path);
// True when a process holds the file open without delete sharing (an open for deletion meets a
// sharing violation): the platform's font table holds a loaded font file that way on Windows, and
// so does an application that has the file open.
bool heldOpen(const std::string &path);

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
// What a lookup by path found: whether the key could be read, and the value name of the first
// entry whose data names the file ("" when none).
struct EntryLookup {
    bool read = false;
    std::string name;
};
// The lookup in root's Fonts key (held open by the caller). Keeps what it read of each root's
// key between calls, for as long as the key's value count and last write time stay the same;
// the writes above keep it in step. A failure is logged (ERROR) and gives read false.
EntryLookup lookupFontEntry(HKEY root, const winreg::KeyHandle &key, const std::string &path);
// lookupFontEntry(...).name.
std::string findFontEntry(HKEY root, const winreg::KeyHandle &key, const std::string &path);
// Whether any entry of root's Fonts key names the file in any form: the lookup's canonical
// form, the long form of 8.3 short elements (in the entry or in the path), any letter case; a
// bare file name (no folder) counts when it is the file's. Unknown when the key is not open or
// could not be read: then nothing may be deleted as unnamed.
enum class FileNaming { Named, Unnamed, Unknown };
FileNaming fileNaming(HKEY root, const winreg::KeyHandle &key, const std::string &path);
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
// Deleting font files. A loaded font file cannot be opened for deletion on Windows, and a file an
// application holds cannot be deleted even once it is unloaded: every step that deletes a font file
// checks where the file lies, removes its resource (unloadFontResource), then deletes it, and a
// file in use is finished later (Journal.h), in the all-users folder also at the next boot.
enum class FontFileRemoval {
    Deleted,
    InUse,    // unloaded, but held open elsewhere: still there
    Refused,  // still there, not held open (no right to delete it, or it cannot be opened)
    Outside,  // the opened file does not lie directly in the fonts folder of the step's scope: untouched
    Missing
};
// The removal of the file at path for a step of root's scope (HKEY_CURRENT_USER: the per-user
// fonts folder; otherwise the all-users one). file gets the final path of the file when it lay there.
FontFileRemoval removeFontFile(HKEY root, const std::string &path, std::wstring &file);
// What became of a file a step deleted.
enum class FontFileFate {
    Deleted,
    Later,    // in use: unloaded, and recorded to be finished later (one INFO line)
    Kept,     // in use and not recorded, or refused: kept (one WARNING line)
    Outside,  // not in the fonts folder of the scope: kept
    Missing
};
// removeFontFile, and a file in use recorded to be finished later: an in-use record of root's
// journal, which every later run retries; in the all-users folder also a deletion at the next boot
// (MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT, administrators only). what holds the log line's
// tags after the scope's ("[字体卸载]\t[文件被占用]"): the INFO line is what, "[稍后删除]" (and
// "[重启时删除]" with the boot's deletion) and the path; the WARNING line what, "[保留]", the path.
FontFileFate deleteFontFile(HKEY root, const std::string &path, const std::string &what);
// The files that PendingFileRenameOperations names (to be deleted, moved away or replaced at the next
// boot), as full paths without the "\??\" form; empty when there are none or the value cannot be read.
std::vector<std::wstring> pendingAtBoot();
bool listedAtBoot(const std::vector<std::wstring> &pending, const std::wstring &path);

// ---------------------------------------------------------------------------
// Permanent install and uninstall (no lock here; the caller serialises).
// The copy goes into folder (made when missing for the current user) under the source's base
// name made safe, or the first free name of its chain (0_name, 1_name, ...), created without
// replacing anything; a name that PendingFileRenameOperations lists is not free (the boot would
// delete or replace the copy). A folder that leads elsewhere than its text in an elevated process is
// refused (1013, one ERROR line). The uninstall deletes the file only when the opened file
// lies in a fonts folder; elsewhere it is kept with one WARNING line (status 0). A file in use
// is unregistered and unloaded with status 0 and finished later (deleteFontFile).
int installFontFile(HKEY root, const std::string &family, const std::string &path, const std::string &folder);
// 0, 1005, 1007 (the platform refused to load the copy; entry and copy undone), 1011, 1013, 1111.
int persistentFontInstall(HKEY root, const std::string &family, const std::string &path);
// 0, 1005, 1011, 1015 (1011/1015 after compensation). A file of the per-user fonts folder that
// no entry names in any form (an uninstall ended between its steps) goes with status 0, only
// when the key was read; a key that could not be opened or read gives 1005 and deletes nothing.
// deleteEntry is the registry delete step, openKey the opening of root's Fonts key; tests hand
// in ones that meet a value deleted meanwhile or a key that cannot be opened or read.
using FontRegDelete = bool (*)(HKEY root, const winreg::KeyHandle &key, const std::string &valueName);
using FontKeyOpen = winreg::KeyHandle (*)(HKEY root);
// root's Fonts key opened as it is (never created); empty when it cannot be opened.
winreg::KeyHandle openExistingFontsKey(HKEY root);
int persistentFontUnInstall(HKEY root, const std::string &family, const std::string &postscriptName,
                            const std::string &path, FontRegDelete deleteEntry = removeFontEntry,
                            FontKeyOpen openKey = openExistingFontsKey);

// The DACL (SDDL) of the session's install lock made by a process whose user is creator (SID
// text): SYNCHRONIZE | MUTEX_MODIFY_STATE for creator and INTERACTIVE, nothing for anyone else.
std::wstring installLockDescriptor(const std::wstring &creator);

// Per-font entry logic of a permanent install/uninstall, as both binaries run it:
// 1005 when no file is at path; otherwise the operation, then broadcastFontChange().
// Install always targets the current user; uninstall picks the scope from the path. A process
// that works for another account than its own (safefile::Requester::SessionUser) refuses the
// per-user ones with 1111 and one ERROR line; an all-users uninstall goes on as written.
int installFontEntry(const std::string &family, const std::string &path);
int uninstallFontEntry(const std::string &family, const std::string &postscriptName, const std::string &path);

// Runs step under the session's install lock, the one the registry steps of installs and
// uninstalls take, and returns its status. A lock not taken within its bounded wait gives 1011,
// with one ERROR line "<tag>\t[等待安装锁超时]\t(<subject>)" and the DEBUG line of its code.
int underInstallLock(const std::string &tag, const std::string &subject, const std::function<int()> &step);
