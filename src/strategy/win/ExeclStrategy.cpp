#include "common/Status.h"
#include "strategy/win/Automation.h"
#include "strategy/win/OfficeAutomation.h"
#include "strategy/win/Strategy.h"

void setExcelActiveCellFont(const wchar_t *progId, const std::string &family) {
    const auto running = automation::connectToApplication(progId);
    const auto application = automation::getDispatchProperty(running.get(), L"Application");
    const auto workbook = automation::getDispatchProperty(application.get(), L"ActiveWorkbook");
    automation::callDispatchMethod(workbook.get(), L"Activate");
    // Only the active cell changes, not the rest of a selected range.
    const auto cell = automation::getDispatchProperty(application.get(), L"ActiveCell");
    automation::setFontProperty(cell.get(), L"Name", family);
}

int ExeclStrategy::handler(InteractiveFont *font, WindowEntity *window) {
    return runHandler(font, window, [&] {
        setExcelActiveCellFont(L"Excel.Application", textOf(font->family));
        return Status::kDone;
    });
}
