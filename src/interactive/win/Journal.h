// Font installation core: the journal of work that a run must finish, or that another run
// finishes once it has died (killed, logged off, power cut), or that must wait for a file in use.
//
// Two kinds of record. A deletion: the file an uninstall (or an update, of the older copy) is
// about to delete. It is written before the step deletes the entry and goes once the file is gone,
// so a run ended between the two leaves a record instead of a copy that nothing names; it is
// finished by a later run once its own run is gone. A file in use: the file a step unregistered
// and unloaded but could not delete, because a program held it open; every later run (each install
// and uninstall, in this process too) tries it again until the file goes. Records of the per-user
// scope live under HKCU\Software\Vorla\Journal, those of the all-users scope under
// HKLM\SOFTWARE\Vorla\Journal (administrators only), finished only by elevated runs. A deletion's
// value name is the run's process id, its start time and a counter, "<id>-<start, hex>-<n>" (as
// the temporary copies are named); a file in use has the same after "in-use-". The data (REG_SZ)
// is the file's full path. Values of any other name or type are left alone.
#pragma once

#include <windows.h>

#include "common/RunStamp.h"

#include <string>
#include <vector>

namespace journal {

enum class Kind { Deletion, InUse };

struct Record {
    std::string name;  // the value name
    Kind kind = Kind::Deletion;
    vorla::RunStamp run;
    std::string path;  // UTF-8
};

// The journal key of root's scope (under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE).
const char *keyOf(HKEY root);

// Writes a record of this run for the file at path (a deletion, or a file in use); its value
// name, "" when it could not be written (the key made when missing).
std::string add(HKEY root, const std::string &path);
std::string addInUse(HKEY root, const std::string &path);
// Removes a record by its value name; true when it is gone (also when it was not there).
bool remove(HKEY root, const std::string &name);
// Every record of root's journal (both kinds), in the key's order; an empty list when there is none.
std::vector<Record> records(HKEY root);

// Both finish records in root's journal; the caller holds the install lock. A record's file goes
// (every load of it first, deleteFontFile) only when it is a disk path, no entry of root's Fonts
// key names it in any form (fileNaming), and the opened file lies directly in the fonts folder of
// root's scope; the record goes then, and also when its file is missing, named by an entry (the
// font was installed again) or outside that folder (kept). It stays when the key could not be read.
// The number of files deleted.
// The deletions of runs no longer alive; a file in use becomes a record of that kind.
int finishDeadRuns(HKEY root);
// The files in use, whatever run recorded them; one still in use keeps its record, quietly.
int retryFilesInUse(HKEY root);

}  // namespace journal
