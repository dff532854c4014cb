#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include <windows.h>

#include "common/PlatformError.h"

// Starts programs for the strategies that drive an application from outside
// its automation interface, and waits for them to end.
//
// Any window can carry an application's name in its title, and in an elevated
// host whatever is started runs as administrator. So a program is started only
// by the final path of its image, opened before the start and held without write
// or delete sharing until the started process ends: an application's own
// executable only when its image has the strategy's image name (and, in an
// elevated host, when the user may not write its folder or the image), the
// script host only as system32's wscript.exe. A refused start writes one warning
// line and reports false; the strategy then fails with its failure status.
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

// The window's own executable with ` -s " <script> " ` on its command line, when its
// image is named imageName (the strategy's, e.g. "AfterFX.exe"). Throws LaunchError
// when the window has no executable; false when the start was refused.
bool runScriptInOwnExecutable(HWND window, const std::string &imageName, const std::string &script);

// The window's own executable with " alert() ", under the same rule.
bool signalOwnExecutable(HWND window, const std::string &imageName);

// Writes `text` to <temp>\<directory>\<fileName> (creating the directory) and
// returns that path. Throws std::filesystem::filesystem_error when the
// directory or the file cannot be made or written.
std::filesystem::path writeTempScript(const std::string &text, const std::string &directory,
                                      const std::string &fileName);

// system32's "wscript.exe" with ` /e:vbscript "<path>"`; false when the script host could not be
// held for the start.
bool runVbscriptFile(const std::filesystem::path &path);

// Writes the VBScript and runs it with runVbscriptFile. Not elevated: through writeTempScript. In
// an elevated host: in a folder made for this run under the temporary folder (which must be where
// its name says), with a protected DACL (SYSTEM and Administrators full control, the user read),
// held open without delete sharing, the script created new in it; both go after the run. False
// when the script could not be placed so or the host not started (one warning line).
bool runVbscript(const std::string &text, const std::string &directory, const std::string &fileName);

}  // namespace ScriptRunner
