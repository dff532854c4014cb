#pragma once
// Safe file module: checked reads and writes of files named to an elevated program (Marlet's
// result and list files, the library's log): a file is used only when it is where its name says
// and the user who asked may use it that way (SafeFileRights.h).
#include <windows.h>

#include "common/Raii.h"

#include <string>

namespace safefile {

// Opens an existing file for reading through openNamed (no device, pipe or console; no share when
// elevated), when its final path is the path given (long names, any case), it has exactly one link
// and the user may read it; an invalid handle otherwise.
vorla::UniqueFileHandle openCheckedForReading(const std::wstring &path);
// Opens a file for writing from its start. An existing file only when it is empty (nothing that
// holds anything is ever truncated), under the checks of openCheckedForReading, and the user may
// write it; a missing one is created new only when its folder's final path is the folder given and
// the user may create files there. An invalid handle otherwise.
vorla::UniqueFileHandle openCheckedForWriting(const std::wstring &path);
// Opens a file for appending (others may read and append too): an existing file under the checks
// of openCheckedForReading, when the user may append to it; a missing one created as
// openCheckedForWriting creates it. An invalid handle otherwise.
vorla::UniqueFileHandle openCheckedForAppending(const std::wstring &path);

}  // namespace safefile
