// Font installation core: the journal of work that a run must finish, or that another run
// finishes once it has died (killed, logged off, power cut).
//
// One kind of record for now: the file an uninstall is about to delete. It is written before the
// uninstall deletes the entry and goes once the file is gone, so a run ended between the two
// leaves a record instead of a copy that nothing names. Records of the per-user scope live under
// HKCU\Software\Vorla\Journal, those of the all-users scope under HKLM\SOFTWARE\Vorla\Journal
// (administrators only), finished only by elevated runs. A record's value name is the run's
// process id, its start time and a counter, "<id>-<start, hex>-<n>" (as the temporary copies are
// named); its data (REG_SZ) the file's full path. Values of any other name or type are left
// alone, so another kind of record can live in the same key under names of another form.
#pragma once

#include <windows.h>

#include "common/RunStamp.h"

#include <string>
#include <vector>

namespace journal {

struct Record {
    std::string name;  // the value name
    vorla::RunStamp run;
    std::string path;  // UTF-8
};

// The journal key of root's scope (under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE).
const char *keyOf(HKEY root);

// Writes a record of this run for the file at path; its value name, "" when it could not be
// written (the key made when missing).
std::string add(HKEY root, const std::string &path);
// Removes a record by its value name; true when it is gone (also when it was not there).
bool remove(HKEY root, const std::string &name);
// Every record of root's journal, in the key's order; an empty list when there is no journal.
std::vector<Record> records(HKEY root);

// Finishes the records of runs no longer alive, in root's journal. The caller holds the install
// lock. A record's file goes (its font resource first) only when it is a disk path, no entry of
// root's Fonts key names it in any form (fileNaming), and the opened file lies directly in the
// fonts folder of root's scope; the record goes then, and also when its file is missing, named
// by an entry or outside that folder (kept). It stays when the key could not be read or the file
// could not be deleted (in use): a later run tries again. The number of files deleted.
int finishDeadRuns(HKEY root);

}  // namespace journal
