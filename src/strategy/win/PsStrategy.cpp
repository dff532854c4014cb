#include "common/Status.h"
#include "strategy/win/AdobeScripts.h"
#include "strategy/win/AdobeStrategies.h"
#include "strategy/win/Automation.h"
#include "strategy/win/ScriptRunner.h"

// Photoshop runs the script through its automation method "DoJavaScript"; its
// own executable is then started with " alert() " and waited for. A failure
// before the script ran means the font was not applied (1111); a failed start
// afterwards is only logged. A refused start (the window's program is not
// Photoshop, ScriptRunner.h) fails the apply (1111).
int PsStrategy::handler(InteractiveFont *font, WindowEntity *window) {
    const int status = runHandler(font, window, [&] {
        vorla::ComPtr<IDispatch> running = automation::connectToApplication(L"Photoshop.Application");
        vorla::ComPtr<IDispatch> application = automation::getDispatchProperty(running.get(), L"Application");
        automation::doJavaScript(application.get(), AdobeScripts::photoshopScript(textOf(font->postscriptName)));
        return Status::kDone;
    });
    if (status != Status::kDone) return status;
    bool started = true;
    runHandler(font, window, [&] {
        started = ScriptRunner::signalOwnExecutable(window->hwnd, name);
        return Status::kDone;
    });
    return started ? Status::kDone : Status::kException;
}
