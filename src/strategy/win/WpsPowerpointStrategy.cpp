#include "strategy/win/Strategy.h"

bool WpsPowerpointStrategy::matches(const WindowEntity &window) const {
    if (className.empty()) return Strategy::matches(window);
    if (!Strategy::matches(window)) return false;
    for (const char *marker : {".ppt", ".pptx"}) {
        if (window.title.find(marker) != std::string::npos) return true;
    }
    return false;
}
