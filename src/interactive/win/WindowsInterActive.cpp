#include "WindowsInterActive.h"

#include "FontUtil.h"
#include "common/Raii.h"

int WindowsInterActive::installFont(const InteractiveFont *font) {
    const std::string path = textOf(font->path);
    const std::string family = textOf(font->family);
    std::lock_guard<std::mutex> lock(installMutex_);
    // Whatever the outcome: a failed step may still have changed an entry or a file.
    const auto listAgain = vorla::scopeExit([this] { catalogue_.markStale(); });
    return installFontEntry(family, path);
}

int WindowsInterActive::uninstallFont(const InteractiveFont *font) {
    const std::string path = textOf(font->path);
    const std::string family = textOf(font->family);
    const std::string postscriptName = textOf(font->postscriptName);
    std::lock_guard<std::mutex> lock(installMutex_);
    const auto listAgain = vorla::scopeExit([this] { catalogue_.markStale(); });
    return uninstallFontEntry(family, postscriptName, path);
}

std::shared_ptr<const FontManager::FontList> WindowsInterActive::getAvailableFonts(const std::string &familyLocale) {
    return catalogue_.list(familyLocale);
}

void WindowsInterActive::markFontListStale() noexcept { catalogue_.markStale(); }
