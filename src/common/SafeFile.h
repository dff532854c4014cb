#pragma once
// The safe file module, for installs and uninstalls in both binaries. Marlet runs elevated and
// the library may: every path, list and registry entry that reaches them can be chosen by
// another program of the same user, and any folder on the way can be a junction or a link. So:
// - the fonts folders are taken from sources the user cannot redirect when the process is
//   elevated, and a folder whose final path differs from its text is refused;
// - where a file lies is judged on the opened handle (its final path), never on path text;
// - a copy is created without replacing anything (CREATE_NEW), and a file is deleted only
//   through the handle that was checked.
// One header per concern; this one brings them all.
#include "common/NamedFile.h"        // files a caller or an entry names, opened for reading
#include "common/SafeFileChecked.h"  // checked reads and writes of files named to an elevated program
#include "common/SafeFileCopies.h"   // making and naming copies
#include "common/SafeFileDeletes.h"  // deleting through the checked handle
#include "common/SafeFileFolders.h"  // the trusted fonts folders
#include "common/SafeFilePaths.h"    // paths as Windows names them, final paths
#include "common/SafeFileRights.h"   // the rights of the user who asked
