#include <string>

#include "common/Status.h"
#include "interactive/win/InteractiveException.h"
#include "strategy/win/AdobeScripts.h"
#include "strategy/win/AdobeStrategies.h"
#include "strategy/win/Automation.h"

// Illustrator runs the script through "DoJavaScript" on its "Application"
// object, from version 19 on. Below that the status is 2003; any other failure
// means the font was not applied (1111).
int IllustratorStrategy::handler(InteractiveFont *font, WindowEntity *window) {
    bool tooOld = false;
    const int status = runHandler(font, window, [&] {
        vorla::ComPtr<IDispatch> running = automation::connectToApplication(L"Illustrator.Application");
        vorla::ComPtr<IDispatch> application = automation::getDispatchProperty(running.get(), L"Application");
        std::string version = automation::getStringProperty(running.get(), L"Version");
        if (std::stoi(version) < 19) {
            tooOld = true;
            throw InteractiveInvokeException("不支持当前版本!version:" + version);
        }
        automation::doJavaScript(application.get(),
                                 AdobeScripts::illustratorScript(textOf(font->postscriptName), textOf(font->family)));
        return Status::kDone;
    });
    // The version entry is logged like any other failure; only its status differs.
    return tooOld ? Status::kVersionTooOld : status;
}
