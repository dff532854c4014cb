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

private:
    // Held for the whole of a permanent install or uninstall, and by nothing else.
    std::mutex installMutex_;
};
