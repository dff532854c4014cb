// Font health: what installs ended between their steps, other tools and Windows itself leave
// broken in the font entries and the fonts folders, found by a read-only check of both scopes
// and repaired where that is safe. Free functions of the installation core, shared by the
// library (per-user findings) and Marlet (all-users findings, elevated). Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What is broken. The numbers are the front end's (the FontHealth record's kind).
enum class HealthKind : int {
    Unknown = 0,
    MissingFile = 1,  // an entry whose file does not exist
    UnnamedCopy = 2,  // a font file directly in the per-user fonts folder that no entry names
    SameFace = 3,     // reserved: entries whose files hold the same font
    NotLoadable = 4,  // an entry whose file exists but is no font
    LostAtLogon = 5,  // a per-user entry Windows drops at the next logon (relative data, or in a subkey)
    Unfinished = 6    // reserved: work of a run that is no longer alive
};

// Whose fonts: the record's scope (0 per user, 1 all users).
enum class HealthScope : int { CurrentUser = 0, AllUsers = 1 };

// "missingFile", "unnamedCopy", ...; "" for Unknown.
const char *healthKindName(HealthKind kind);
// The kind of that name; Unknown for any other text.
HealthKind healthKindOf(const std::string &name);

// One finding. valueName names the entry: the value's name in the scope's Fonts key, or for a
// value in a subkey of the per-user key the subkey's path, a backslash and the value's name
// ("" for an unnamed copy). path is the file the entry names as a full path (relative data
// taken in the scope's fonts folder), or the unnamed copy. size is the file's size, -1 when
// there is no file; fontRevision the font's head.fontRevision (16.16), 0 when unknown.
struct HealthFinding {
    HealthKind kind = HealthKind::Unknown;
    HealthScope scope = HealthScope::CurrentUser;
    std::string valueName;
    std::string path;
    std::string detail;  // a short text for the user
    int group = 0;       // findings of one set of entries holding the same font share it (not 0)
    std::uint32_t fontRevision = 0;
    std::int64_t size = -1;
    std::string postscriptName;
    bool keep = false;  // of a set of entries holding the same font: the one the caller keeps
};

// The check: every value of the per-user Fonts key and its subkeys, every value of the all-users
// Fonts key, and every file directly in the per-user fonts folder. Read-only: both keys are
// opened for reading only, every file through safefile::openNamed, and each file's header is
// read once. One finding per broken entry (missingFile before notLoadable before lostAtLogon)
// and per unnamed copy, per-user findings first, each scope in key order.
std::vector<HealthFinding> checkFontHealth();

// Repairs one finding of the scope this process repairs (the library the current user's, Marlet
// all users'); a finding of the other scope gets 1111 and is not touched, as is one of a kind
// without a repair here. Under the session's install lock the finding is checked again and
// skipped with 1005 when it no longer holds (the entry or file changed, or is gone):
// - missingFile and notLoadable: the entry is deleted (the file, if any, is kept);
// - unnamedCopy: the font resource is removed and the file deleted through the safe module,
//   only while it lies directly in the per-user fonts folder and no entry names it;
// - lostAtLogon: the entry is written in the Fonts key itself with the file's full path (a
//   subkey's value is then deleted), only when the opened file lies in or below the per-user
//   fonts folder; elsewhere, or when another entry of that name names another file, 1011.
// 0 when repaired; 1011 when the registry refused, or the lock was not taken in its bounded
// wait. Nothing else is ever written or deleted.
int repairFinding(const HealthFinding &finding, HealthScope repairs);

// repairFinding for each finding in order, one status each; a finding whose repair raised an
// exception gets 1111 with one ERROR line, and the next one is repaired.
std::vector<int> repairFontHealth(const std::vector<HealthFinding> &findings, HealthScope repairs);
