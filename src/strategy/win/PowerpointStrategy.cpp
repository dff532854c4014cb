#include "common/Status.h"
#include "strategy/win/Automation.h"
#include "strategy/win/Strategy.h"

// Also the handler of the WPS presentation row: both go through "Powerpoint.Application".
int PowerpointStrategy::handler(InteractiveFont *font, WindowEntity *window) {
    return runHandler(font, window, [&] {
        const std::string family = textOf(font->family);
        const auto running = automation::connectToApplication(L"Powerpoint.Application");
        const auto activeWindow = automation::getDispatchProperty(running.get(), L"ActiveWindow");
        automation::callDispatchMethod(activeWindow.get(), L"Activate");
        const auto selection = automation::getDispatchProperty(activeWindow.get(), L"Selection");
        const auto textRange = automation::getDispatchProperty(selection.get(), L"TextRange");
        automation::setFontProperty(textRange.get(), L"Name", family);
        automation::setFontProperty(textRange.get(), L"NameFarEast", family);
        return Status::kDone;
    });
}
