#pragma once
// Safe file module: the trusted fonts folders, taken from sources the user cannot redirect when
// the process is elevated, and opened so that a folder whose final path differs from its text
// is refused.
#include <windows.h>

#include "common/Raii.h"

#include <string>
#include <vector>

namespace safefile {

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

}  // namespace safefile
