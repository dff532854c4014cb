#pragma once
// Starting a program through the shell, for the script runner and the elevated relaunch.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/Raii.h"

namespace vorla {

// What a shell start gave: whether a program was started, the error code when not,
// and the started process when the shell handed one out.
struct ShellStart {
    bool started = false;
    DWORD error = ERROR_SUCCESS;
    UniqueHandle process;
};

// ShellExecuteExW with `verb` ("open", "runas") on `file`, shown normally. No error
// dialogs: this runs inside library calls, and a failure goes back to the caller instead.
// Empty `parameters` passes none.
inline ShellStart shellStart(const wchar_t *verb, const std::wstring &file, const std::wstring &parameters = {}) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellStart result;
    result.started = ShellExecuteExW(&info) != FALSE;
    if (!result.started) {
        result.error = GetLastError();
        return result;
    }
    result.process.reset(info.hProcess);
    return result;
}

}  // namespace vorla
