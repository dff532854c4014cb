// The installer's run: the install or uninstall loop over a font list, the window
// messages to the front end, and the result list.
#pragma once

#include "CommandLine.h"
#include "FontJson.h"
#include "common/InteractiveFont.h"
#include "interactive/win/FontHealth.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Marlet {

// Window messages sent to the "-w" window. Each one waits until the window has handled it,
// so the front end sees every message in order before the next font is processed.
constexpr unsigned kInstalledOne = 0x1401;    // wParam index, lParam status
constexpr unsigned kUninstalledOne = 0x1402;  // wParam index, lParam status
constexpr unsigned kInstallDone = 0x1403;     // wParam number of results, lParam 0
constexpr unsigned kUninstallDone = 0x1404;   // wParam 0, lParam number of results
constexpr unsigned kRepairedOne = 0x1405;     // wParam index, lParam status
constexpr unsigned kRepairDone = 0x1406;      // wParam number of results, lParam 0

// The answer to a per-font message (0x1401, 0x1402, 0x1405) by which the front end stops the run:
// the font just reported stays done, no further font is touched, and the final message
// carries the number of fonts processed. It reads "STOP" in ASCII; any other answer (a
// window procedure returns 0 or 1 today) lets the run go on. frontend/marlet.js and
// marlet.d.ts hold copies, checked against this one by the bridge's tests.
constexpr long long kStopAnswer = 0x53544F50;

// The longest one message may wait for the front end's window. A live front end answers at once
// (the bridge pumps its progress window on a thread that does nothing else), so the bound is
// far beyond what a live window takes, and beyond Windows' 5 s after which it counts a window
// that has not pumped as hung: a front end whose own window is busy for a while is waited for.
// A window that is gone (IsWindow), or has held one message past the bound, is skipped with one
// warning line and sent nothing more in this run; the run goes on as without window.
// Test-only builds of Marlet shorten it (VORLA_TEST_MESSAGE_BOUND_MS, tests/ctest.d/marlet.cmake);
// the shipped program has no switch for it.
#ifdef VORLA_TEST_MESSAGE_BOUND_MS
constexpr unsigned kMessageBoundMs = VORLA_TEST_MESSAGE_BOUND_MS;
#else
constexpr unsigned kMessageBoundMs = 30000;
#endif

// Exit codes of the program.
constexpr int kExitDone = 0;        // help shown, or the run finished and its result list was written
constexpr int kExitUsage = 1;       // usage error; nothing was installed or uninstalled
constexpr int kExitResultLost = 2;  // the run finished but the result file could not be written
constexpr int kExitFailure = 3;     // an unexpected failure stopped the program before the results
constexpr int kExitStopped = 4;     // the front end stopped the run (kStopAnswer) before the end of the
                                    // list; the results of the fonts processed were written

// One font's install or uninstall; returns its status.
using FontStep = std::function<int(Action action, const InteractiveFont &font)>;

// The installation core's per-font entry logic, as the library runs it (without its lock):
// 1005 when no file is at the path, otherwise the permanent install (current user) or
// uninstall (scope from the path), followed by the font-change broadcast.
int coreStep(Action action, const InteractiveFont &font);

// Installs (Action::Install) or uninstalls every font of the list in order, sends the
// per-font and final messages when window is not 0, and returns one result per font
// processed. A font whose step throws gets 1111, with an error log line, and the loop goes
// on. A window that answers a per-font message with kStopAnswer ends the loop after that
// font: fewer results than fonts mean the front end stopped the run.
std::vector<ResultStr> processFonts(Action action, const std::vector<FontJSONObj> &fonts, std::int32_t window,
                                    const FontStep &step = coreStep);

// One finding's repair; returns its status.
using FindingStep = std::function<int(const HealthFinding &finding)>;
// The core's repair of an all-users finding (a per-user one gets 1111, untouched).
int repairStep(const HealthFinding &finding);
// The repair loop ("-r"): as processFonts, with the messages 0x1405 per finding and 0x1406 at the end.
std::vector<ResultStr> processFindings(const std::vector<HealthFinding> &findings, std::int32_t window,
                                       const FindingStep &step = repairStep);

// Carries out a parsed command line, writing to standard output and standard error.
// Returns the exit code.
int run(const Invocation &invocation);

}  // namespace Marlet
