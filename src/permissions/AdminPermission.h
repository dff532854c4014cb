#pragma once

#include <string>

#include <windows.h>

#include "permissions/Permissions.h"

// "runAdmin": held when the process token belongs to the built-in Administrators
// group; obtained by starting the host executable again with the "runas" verb
// and ending this process.
class AdminPermission : public Permissions {
public:
    int check(const char *name) override;
    int request(const char *name) override;
};

// Name of the event that lets only one elevated relaunch start per logon.
inline constexpr wchar_t kRelaunchGuardEvent[] = L"{29544E12-024F-4BC1-A272-452DBC8E17A4}";

// What follows the shell call of a relaunch. Only a started elevated instance
// ends this process; every failure keeps it running (the front end would
// otherwise vanish with nothing in its place).
struct RelaunchOutcome {
    bool endProcess;
    std::string reason;  // for the log when the process keeps running
};
RelaunchOutcome relaunchOutcome(bool started, DWORD error);

// Writes one warning line, and answers true, when the user may create files in the folder of the
// host's executable (or the folder cannot be looked at): the elevated instance would load a DLL
// planted there. A front end that elevates itself belongs under Program Files.
bool warnWhenTheFolderIsWritable(const std::wstring &executable);

// Starts `executable` elevated and, when that worked, ends this process with
// exit code 0. Returns 0 when nothing was started (guard event present, user
// declined, executable missing, any other shell failure).
int relaunchElevated(const std::wstring &executable);
