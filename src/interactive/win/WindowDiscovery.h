#pragma once

#include <memory>
#include <vector>

#include "interactive/win/WindowEntity.h"

class Strategy;

// Every visible top-level window, in the platform's enumeration order (top of
// the Z order first), with the image name of its process. One process snapshot
// serves the whole enumeration.
std::vector<WindowEntity> enumerateWindows();

// The supported-application table, in the order in which rows are tried.
std::vector<std::shared_ptr<Strategy>> supportedApplications();

// Brings the window to the foreground; prints the platform error of a refused
// BringWindowToTop / SetForegroundWindow to standard output. Always returns 1.
int activateWindow(HWND target);
