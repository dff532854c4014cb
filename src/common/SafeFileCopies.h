#pragma once
// Safe file module: making copies in a fonts folder and naming them. A copy is created without
// replacing anything (CREATE_NEW), under a name made safe, and named by a rename that never
// replaces; until it is kept, a failed step removes it through its own handle.
#include <windows.h>

#include "common/Raii.h"
#include "common/SafeFileDeletes.h"
#include "common/SafeFileFolders.h"

#include <string>

namespace safefile {

// The base name of a copy made from a source file name: an alternate stream (":..."), trailing
// dots and spaces and characters no file name may hold are dropped or replaced, and a device
// name (CON, NUL, COM1, ...; with or without an extension) gets a leading '_'. Never empty.
std::wstring safeBaseName(const std::wstring &name);

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

}  // namespace safefile
