// The installer's run: the install or uninstall loop over a font list, the window
// messages to the front end, and the result list.
#pragma once

#include "CommandLine.h"
#include "FontJson.h"
#include "common/InteractiveFont.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Marlet {

// Window messages sent to the "-w" window (SendMessageA, so each waits for the window).
constexpr unsigned kInstalledOne = 0x1401;    // wParam index, lParam status
constexpr unsigned kUninstalledOne = 0x1402;  // wParam index, lParam status
constexpr unsigned kInstallDone = 0x1403;     // wParam number of results, lParam 0
constexpr unsigned kUninstallDone = 0x1404;   // wParam 0, lParam number of results

// Exit codes of the program.
constexpr int kExitDone = 0;        // help shown, or the run finished and its result list was written
constexpr int kExitUsage = 1;       // usage error; nothing was installed or uninstalled
constexpr int kExitResultLost = 2;  // the run finished but the result file could not be written
constexpr int kExitFailure = 3;     // an unexpected failure stopped the program before the results

// One font's install or uninstall; returns its status.
using FontStep = std::function<int(Action action, const InteractiveFont &font)>;

// The installation core's per-font entry logic, as the library runs it (without its lock):
// 1005 when no file is at the path, otherwise the permanent install (current user) or
// uninstall (scope from the path), followed by the font-change broadcast.
int coreStep(Action action, const InteractiveFont &font);

// Installs (Action::Install) or uninstalls every font of the list in order, sends the
// per-font and final messages when window is not 0, and returns one result per font.
// A font whose step throws gets 1111, with an error log line, and the loop goes on.
std::vector<ResultStr> processFonts(Action action, const std::vector<FontJSONObj> &fonts, std::int32_t window,
                                    const FontStep &step = coreStep);

// Carries out a parsed command line, writing to standard output and standard error.
// Returns the exit code.
int run(const Invocation &invocation);

}  // namespace Marlet
