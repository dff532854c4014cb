#include "WindowsInterActive.h"

#include "FontUtil.h"

int WindowsInterActive::installFont(const InteractiveFont *font) {
    const std::string path = textOf(font->path);
    const std::string family = textOf(font->family);
    std::lock_guard<std::mutex> lock(installMutex_);
    return installFontEntry(family, path);
}

int WindowsInterActive::uninstallFont(const InteractiveFont *font) {
    const std::string path = textOf(font->path);
    const std::string family = textOf(font->family);
    const std::string postscriptName = textOf(font->postscriptName);
    std::lock_guard<std::mutex> lock(installMutex_);
    return uninstallFontEntry(family, postscriptName, path);
}
