#include "strategy/win/Strategy.h"

#include <exception>

#include "common/Status.h"
#include "easylogging++.h"

int Strategy::handler(InteractiveFont *, WindowEntity *) { return 0; }

bool Strategy::matches(const WindowEntity &window) const {
    return name == window.title || name == window.exeName || name == window.className;
}

int Strategy::runHandler(const InteractiveFont *font, const WindowEntity *window, const std::function<int()> &body) {
    try {
        return body();
    } catch (const std::exception &e) {
        LOG(ERROR) << "[handler]\t[Application:" << window->exeName << "] [fontFamily:" << textOf(font->family)
                   << "]\t" << e.what();
        return Status::kException;
    }
}

bool OfficeStrategy::matches(const WindowEntity &window) const {
    if (className.empty()) return Strategy::matches(window);
    return Strategy::matches(window) && window.className == className;
}
