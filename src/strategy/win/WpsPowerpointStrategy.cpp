#include "strategy/win/Strategy.h"

bool WpsPowerpointStrategy::matches(const WindowEntity &window) const {
    return matchesWithTitleMarker(window, {".ppt", ".pptx"});
}
