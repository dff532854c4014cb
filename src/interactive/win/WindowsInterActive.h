// The application-interaction object of the library: one instance per loaded DLL.
#pragma once

#include "common/InteractiveFont.h"
#include "fontmanager/FontCatalogue.h"

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

    // The installed faces, this object's temporary fonts among them (FontManager::FontCatalogue:
    // the list is kept and handed out again while nothing it came from changed).
    std::shared_ptr<const FontManager::FontList> getAvailableFonts(const std::string &familyLocale);
    // The fonts changed in a way the catalogue cannot see (a WM_FONTCHANGE broadcast): the next
    // listing builds the list again.
    void markFontListStale() noexcept;

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

    // Temporary fonts (WindowsInterActiveTempFont.cpp): a font resource registered until logoff,
    // without copy or registry entry. They do not take the install mutex.
    // 0, 1005 (no file), 1007 (the platform refused the file).
    int installTempFont(const InteractiveFont *font);
    // 0 (resource removed; the file deleted unless in use), 1003 (removal refused), 1005 (no file).
    int uninstallTempFont(const InteractiveFont *font);

private:
    // Held for the whole of a permanent install or uninstall, and by nothing else.
    std::mutex installMutex_;
    FontManager::FontCatalogue catalogue_;
};
