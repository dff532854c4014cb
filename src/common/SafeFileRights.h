#pragma once
// Safe file module: the rights of the user who asked. An elevated process touches what a caller
// named (a source font, a list or result file, a temporary font, a log file, a program to start,
// a script it writes) only with an access that user holds on it, decided here on the opened
// handle from its security descriptor. Its administrator rights serve only the fonts folders and
// the Fonts keys.
#include <windows.h>

#include <functional>
#include <string>

namespace safefile {

// Whose rights a named object is judged by; decided once per process.
enum class Requester {
    // No boundary to guard: a process that is not elevated, or a full administrator without a
    // limited token (user account control off), or one whose linked token is an administrator
    // too. The check grants: what the process then does with the object, its own token decides.
    Process,
    // A split token (the usual elevation): the elevated token's linked, limited token.
    LinkedToken,
    // The elevated token's user is not the session's user (another administrator's credentials
    // typed at the prompt): the session user's account, through an Authz client context.
    SessionUser,
};
Requester requester();
// True when the process works for a user whose rights are not its own (requester() is not
// Process): the "elevated host" of the defences that apply only there.
bool guardedHost();

// True when the requesting user holds every right of wanted on the object of handle, which was
// opened with READ_CONTROL. Generic rights are mapped with the file mapping (MapGenericMask); the
// descriptor (owner, group, DACL and integrity label) comes from the handle (GetSecurityInfo).
// False when a right is missing or the decision cannot be made. Without a boundary, true.
bool userMay(HANDLE handle, ACCESS_MASK wanted);
// The same question for an object the process will not act on itself (whether the user could
// plant a file in a folder): without a boundary, what this process's own token is granted
// (AccessCheck); across one, userMay.
bool userCould(HANDLE handle, ACCESS_MASK wanted);

#ifdef VORLA_RIGHTS_SEAM
// Test builds only (never the shipped binaries): the requesting user and the descriptors of the
// objects the check looks at come from the test. Wine enforces no ACL and gives every file a
// descriptor that grants its user, so only this shows a refusal.
struct RightsSeam {
    // The requesting user's token (an identification-level impersonation token, kept by the
    // test); requester() is then LinkedToken.
    HANDLE token = nullptr;
    // When not empty, the SID text of the session's user: requester() is then SessionUser.
    std::wstring sessionUser;
    // The descriptor (SDDL) of the object at a final path; "" for the object's own.
    std::function<std::wstring(const std::wstring &finalPath)> descriptor;
};
// Puts the seam in place for the process (null: the process's own decision again).
void setRightsSeam(const RightsSeam *seam);
#endif

}  // namespace safefile
