#include "common/Status.h"
#include "strategy/win/OfficeAutomation.h"
#include "strategy/win/Strategy.h"

int WpsExeclStrategy::handler(InteractiveFont *font, WindowEntity *window) {
    return runHandler(font, window, [&] {
        setExcelActiveCellFont(L"ket.application", textOf(font->family));
        return Status::kDone;
    });
}

bool WpsExeclStrategy::matches(const WindowEntity &window) const {
    // "工作簿" is the default title of a new workbook.
    return matchesWithTitleMarker(window, {".xlsx", ".xls", "\xE5\xB7\xA5\xE4\xBD\x9C\xE7\xB0\xBF", "books"});
}
