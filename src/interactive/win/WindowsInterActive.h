// The application-interaction object of the library: one instance per loaded DLL.
#pragma once

#include "common/InteractiveFont.h"

#include <memory>
#include <mutex>
#include <vector>

#include "interactive/win/Interactive.h"
#include "interactive/win/WindowDiscovery.h"

class Strategy;

class WindowsInterActive : public virtual Interactive {
public:
    WindowsInterActive() = default;
    WindowsInterActive(const WindowsInterActive &) = delete;
    WindowsInterActive &operator=(const WindowsInterActive &) = delete;
    virtual ~WindowsInterActive() = default;

    // Permanent install into the current user's fonts; serialised with uninstallFont.
    int installFont(const InteractiveFont *font);
    // Permanent uninstall; the scope follows from where the file lies.
    int uninstallFont(const InteractiveFont *font);

    // Windows of running supported applications: at most one per process, the
    // topmost recognised one, in enumeration order.
    std::vector<WindowEntity> getAvailableApplications();
    WindowEntity getCurrentWindow() override;
    // Applies the font in the application of the window's process (every matching
    // row in table order), or of the current window when `window` is null or its
    // processId is 0. Initialises COM for the calling thread for the call.
    int applyFontForApplication(WindowEntity *window, InteractiveFont *font);

    // The supported-application table; never changes after construction.
    const std::vector<std::shared_ptr<Strategy>> strategies = supportedApplications();

private:
    // Held for the whole of a permanent install or uninstall, and by nothing else.
    std::mutex installMutex_;
};
