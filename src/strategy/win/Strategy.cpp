#include "strategy/win/Strategy.h"

#include "common/Frame.h"

int Strategy::handler(InteractiveFont *, WindowEntity *) { return 0; }

bool Strategy::matches(const WindowEntity &window) const {
    return name == window.title || name == window.exeName || name == window.className;
}

int Strategy::runHandler(const InteractiveFont *font, const WindowEntity *window, const std::function<int()> &body) {
    return vorla::statusFrame(body, [&] {
        return "[handler]\t[Application:" + window->exeName + "] [fontFamily:" + textOf(font->family) + "]\t";
    });
}

bool OfficeStrategy::matches(const WindowEntity &window) const {
    if (className.empty()) return Strategy::matches(window);
    return Strategy::matches(window) && window.className == className;
}

bool OfficeStrategy::matchesWithTitleMarker(const WindowEntity &window,
                                            std::initializer_list<const char *> markers) const {
    if (className.empty()) return Strategy::matches(window);
    if (!Strategy::matches(window)) return false;
    for (const char *marker : markers) {
        if (window.title.find(marker) != std::string::npos) return true;
    }
    return false;
}
