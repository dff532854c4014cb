#include "common/Status.h"
#include "strategy/win/Automation.h"
#include "strategy/win/OfficeAutomation.h"
#include "strategy/win/Strategy.h"

void setWordSelectionFont(const wchar_t *progId, const std::string &family) {
    const auto running = automation::connectToApplication(progId);
    const auto application = automation::getDispatchProperty(running.get(), L"Application");
    const auto activeWindow = automation::getDispatchProperty(application.get(), L"ActiveWindow");
    automation::callDispatchMethod(activeWindow.get(), L"Activate");
    const auto selection = automation::getDispatchProperty(activeWindow.get(), L"Selection");
    automation::readProperty(selection.get(), L"Text");
    automation::setFontProperty(selection.get(), L"Name", family);
}

int WordStrategy::handler(InteractiveFont *font, WindowEntity *window) {
    return runHandler(font, window, [&] {
        setWordSelectionFont(L"Word.Application", textOf(font->family));
        return Status::kDone;
    });
}
