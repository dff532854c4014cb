#pragma once
// Safe file work for installs and uninstalls, in both binaries. Marlet runs elevated and the
// library may: every path, list and registry entry that reaches them can be chosen by another
// program of the same user, and any folder on the way can be a junction or a link. So:
// - the fonts folders are taken from sources the user cannot redirect when the process is
//   elevated, and a folder whose final path differs from its text is refused;
// - where a file lies is judged on the opened handle (its final path), never on path text;
// - a copy is created without replacing anything (CREATE_NEW), and a file is deleted only
//   through the handle that was checked.
// Paths are UTF-16 here; a folder text is absolute, without a trailing backslash, unless said.
#include <windows.h>

#include "common/Raii.h"

#include <functional>
#include <string>
#include <vector>

namespace safefile {

// ---------------------------------------------------------------------------
// Paths as Windows names them.

// The full path of an opened file or folder: long names, links and junctions resolved,
// without the "\\?\" prefix ("\\server\share\..." for a network path). "" when unknown.
std::wstring finalPathOf(HANDLE handle);
// The text made absolute as Windows does it (GetFullPathNameW), without a "\\?\" prefix or a
// trailing backslash (except a drive root); 8.3 elements and links stay as they are.
std::wstring fullPathOf(const std::wstring &text);
// The text made absolute (GetFullPathNameW: "." and "..", '/' and trailing dots and spaces
// of the last element as Windows treats them) with the long form of each 8.3 element that
// exists, without a trailing backslash (except a drive root). Links are NOT resolved: this
// is the text a final path must equal. "" when the text is no path.
std::wstring longPathOf(const std::wstring &text);
// The same place, as Windows compares names (ordinal, case-insensitive).
bool samePath(const std::wstring &a, const std::wstring &b);
// The folder part of a path (up to its last backslash, excluded); "" when none.
std::wstring parentOf(const std::wstring &path);

// The base name of a copy made from a source file name: an alternate stream (":..."), trailing
// dots and spaces and characters no file name may hold are dropped or replaced, and a device
// name (CON, NUL, COM1, ...; with or without an extension) gets a leading '_'. Never empty.
std::wstring safeBaseName(const std::wstring &name);

// ---------------------------------------------------------------------------
// The trusted fonts folders.

// True when the process token is elevated (also when the token cannot be read). Every process
// under Wine counts as elevated.
bool processElevated();
// The all-users fonts folder, from the known-folder API (FOLDERID_Fonts); "" when unknown.
std::wstring systemFontsFolder();
// The per-user fonts folder. Elevated: the token's profile directory followed by the fixed
// AppData\Local\Microsoft\Windows\Fonts (the shell-folder settings in HKCU, which the user
// can write, are not read). Not elevated: the shell's local application data folder followed
// by Microsoft\Windows\Fonts, wherever the user moved it. "" when unknown.
std::wstring userFontsFolder(bool elevated);

// Whose fonts a step works on: the all-users or the current user's.
enum class FolderScope { AllUsers, CurrentUser };
// The folder in which a step of that scope may delete a file: the all-users or the per-user
// folder, never the other one (an HKCU entry, which the user writes, must not reach the
// all-users folder). Elevated: its text (absolute), which the final path of a file's folder
// must equal, so a redirected folder matches nothing. Not elevated: also where it really is.
std::vector<std::wstring> deletableFolders(bool elevated, FolderScope scope);

// A fonts folder opened for the copies of one install. The folder stays open, without delete
// sharing, until the object goes, so it cannot be renamed or replaced meanwhile; a copy made
// in it is checked again on its own handle (createInFolder), so a folder on the way renamed
// between the two is caught too. A missing folder is made one level at a time, each level
// opened and checked before the next is made in it (and held open until the object goes).
class FontsFolder {
public:
    enum class State {
        Open,        // path() is the folder
        Redirected,  // strict, and a folder on the way is not where its text says: redirection()
        Unavailable  // missing (and not made), not absolute, or cannot be opened
    };
    // strict: refuse a folder on the way whose final path differs from its text (elevated).
    // create: make missing folders, each one only inside a parent opened (and checked) first.
    static FontsFolder open(const std::wstring &text, bool create, bool strict);

    State state() const { return state_; }
    const std::wstring &path() const { return path_; }  // the folder's final path
    // Redirected: the text of the first folder that differs and where it really leads.
    const std::wstring &redirection() const { return redirection_; }

private:
    State state_ = State::Unavailable;
    std::wstring path_;
    std::wstring redirection_;
    std::vector<vorla::UniqueFileHandle> chain_;
};

// ---------------------------------------------------------------------------
// Copies and deletions.

// Which file a handle is: the volume and the file index (they outlive the handle).
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool known = false;
    bool operator==(const FileIdentity &other) const {
        return known && other.known && volume == other.volume && indexHigh == other.indexHigh &&
               indexLow == other.indexLow;
    }
};
FileIdentity identityOf(HANDLE handle);

// The next name of the free-name chain: name, 0_name, 1_name, ... (n counts from 0).
std::wstring chainName(const std::wstring &name, unsigned n);

// A file this process has just created: open for writing and deleting. Until it is released
// or discarded, a failed later step removes it through this handle, never by its name.
class NewFile {
public:
    NewFile() = default;
    NewFile(vorla::UniqueFileHandle handle, std::wstring path);
    NewFile(NewFile &&) noexcept = default;
    NewFile &operator=(NewFile &&) noexcept = default;
    ~NewFile();  // discards a file that was neither kept nor discarded

    explicit operator bool() const { return static_cast<bool>(handle_); }
    HANDLE handle() const { return handle_.get(); }
    const std::wstring &path() const { return path_; }
    // Deletes the file through its handle and closes it; true when the file is gone.
    bool discard();
    // Keeps the file and closes the handle; returns which file it was.
    FileIdentity keep();
    // Writes what the file holds through to the disk (FlushFileBuffers).
    bool flush();
    // Gives the file, through its handle, the first free name of the chain of name in the
    // folder (chainName), never replacing anything: a name taken meanwhile, by another
    // process too, moves on to the next one. path() follows. False when no name could be taken.
    bool renameInFolder(const FontsFolder &folder, const std::wstring &name);

private:
    vorla::UniqueFileHandle handle_;
    std::wstring path_;
};

// Creates a new, empty file in the folder under the first free name of the chain of name
// (chainName); nothing that exists is opened or replaced: a name taken between the look and
// the creation moves on to the next one. The file's final path is checked to lie in the
// folder. An empty NewFile when no file could be made.
NewFile createInFolder(const FontsFolder &folder, const std::wstring &name);

// A new temporary file in the folder, named after this process (see removeDeadTemporaries).
NewFile createTemporary(const FontsFolder &folder);
// Deletes the temporary files that processes no longer running left in the folder (a run
// ended between making a copy and naming it); files of live processes stay. The number deleted.
int removeDeadTemporaries(const FontsFolder &folder);

// True when both files hold the same bytes: sizes first, then the contents from their starts.
bool sameContents(HANDLE a, HANDLE b);
// Opens a file of the folder for reading when it is a file directly in it; invalid otherwise.
vorla::UniqueFileHandle openInFolder(const FontsFolder &folder, const std::wstring &name);

// Copies every byte of source (from its start) into target; false on a read or write failure.
bool copyContents(HANDLE source, HANDLE target);

// Outcome of deleteInFolders.
enum class DeleteOutcome {
    Deleted,
    Outside,    // the opened file does not lie directly in one of the folders: kept
    NotDeleted  // missing, a folder, in use elsewhere or refused: kept
};
// Opens the file at path, checks that its final path lies directly in one of folders (final
// paths, as deletableFolders gives them) and deletes it through that handle. beforeDelete, when
// given, runs once the check has passed, while the checked handle is open (the font resource of
// the file goes there: a loaded font file cannot be deleted).
DeleteOutcome deleteInFolders(const std::wstring &path, const std::vector<std::wstring> &folders,
                              const std::function<void()> &beforeDelete = {});
// Deletes the file at path only when it is still the file identified (a copy this process
// made and closed). True when it was deleted.
bool deleteIfSame(const std::wstring &path, const FileIdentity &identity);

// ---------------------------------------------------------------------------
// Files named to an elevated program (result file, list file).

// Opens an existing file for reading when its final path is the path given (long names, any
// case) and it has exactly one link; an invalid handle otherwise.
vorla::UniqueFileHandle openCheckedForReading(const std::wstring &path);
// Opens a file for writing from its start, replacing its content: an existing file under the
// same check as openCheckedForReading (truncated only after it), a missing one created new
// only when its folder's final path is the folder given. An invalid handle otherwise.
vorla::UniqueFileHandle openCheckedForWriting(const std::wstring &path);

}  // namespace safefile
