#include "common/Status.h"
#include "strategy/win/OfficeAutomation.h"
#include "strategy/win/Strategy.h"

int WpsWordStrategy::handler(InteractiveFont *font, WindowEntity *window) {
    return runHandler(font, window, [&] {
        setWordSelectionFont(L"Kwps.Application", textOf(font->family));
        return Status::kDone;
    });
}

bool WpsWordStrategy::matches(const WindowEntity &window) const {
    return matchesWithTitleMarker(window, {".docx", ".doc"});
}
