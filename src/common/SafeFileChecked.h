#pragma once
// Safe file module: checked reads and writes of files named to an elevated program (Marlet's
// result file and list file): a file is used only when it is where its name says.
#include <windows.h>

#include "common/Raii.h"

#include <string>

namespace safefile {

// Opens an existing file for reading when its final path is the path given (long names, any
// case) and it has exactly one link; an invalid handle otherwise.
vorla::UniqueFileHandle openCheckedForReading(const std::wstring &path);
// Opens a file for writing from its start, replacing its content: an existing file under the
// same check as openCheckedForReading (truncated only after it), a missing one created new
// only when its folder's final path is the folder given. An invalid handle otherwise.
vorla::UniqueFileHandle openCheckedForWriting(const std::wstring &path);

}  // namespace safefile
