// The application-interaction object of the library: one instance per loaded DLL.
#pragma once

#include "common/InteractiveFont.h"

#include <mutex>

class WindowsInterActive {
public:
    WindowsInterActive() = default;
    WindowsInterActive(const WindowsInterActive &) = delete;
    WindowsInterActive &operator=(const WindowsInterActive &) = delete;
    virtual ~WindowsInterActive() = default;

    // Permanent install into the current user's fonts; serialised with uninstallFont.
    int installFont(const InteractiveFont *font);
    // Permanent uninstall; the scope follows from where the file lies.
    int uninstallFont(const InteractiveFont *font);

    // Temporary fonts (WindowsInterActiveTempFont.cpp): a font resource registered until logoff,
    // without copy or registry entry. They do not take the install mutex.
    // 0, 1005 (no file), 1007 (the platform refused the file).
    int installTempFont(const InteractiveFont *font);
    // 0 (resource removed; the file deleted unless in use), 1003 (removal refused), 1005 (no file).
    int uninstallTempFont(const InteractiveFont *font);

private:
    // Held for the whole of a permanent install or uninstall, and by nothing else.
    std::mutex installMutex_;
};
