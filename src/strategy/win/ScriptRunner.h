#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include <windows.h>

#include "common/PlatformError.h"

// Starts programs for the strategies that drive an application from outside
// its automation interface, and waits for them to end.
namespace ScriptRunner {

// A program could not be started (no executable path, or the shell refused: then with the
// shell's error code).
class LaunchError : public std::runtime_error, public vorla::PlatformFailure {
public:
    explicit LaunchError(const std::string &what, vorla::PlatformFailure failure = {})
        : std::runtime_error(what), vorla::PlatformFailure(failure) {}
};

// Full path of the main module of the process that owns `window`; empty when
// the window is null or stale, or its process cannot be opened or read.
std::wstring getProcessImagePath(HWND window);

// Starts `program` through the shell ("open") with `parameters` and waits until
// the started process ends. Throws LaunchError when nothing was started.
void launchAndWait(const std::wstring &program, const std::wstring &parameters);

// The window's own executable with ` -s " <script> " ` on its command line.
void runScriptInOwnExecutable(HWND window, const std::string &script);

// The window's own executable with " alert() ".
void signalOwnExecutable(HWND window);

// Writes `text` to <temp>\<directory>\<fileName> (creating the directory) and
// returns that path. Throws std::filesystem::filesystem_error when the
// directory or the file cannot be made or written.
std::filesystem::path writeTempScript(const std::string &text, const std::string &directory,
                                      const std::string &fileName);

// "wscript.exe" with ` /e:vbscript "<path>"`.
void runVbscriptFile(const std::filesystem::path &path);

}  // namespace ScriptRunner
