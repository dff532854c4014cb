#include <string>

#include "common/Status.h"
#include "interactive/win/InteractiveException.h"
#include "strategy/win/AdobeScripts.h"
#include "strategy/win/AdobeStrategies.h"
#include "strategy/win/Automation.h"
#include "strategy/win/ScriptRunner.h"

// InDesign is reached through its automation server (which may start it). From
// version 12 on, the script goes into a VBScript file under the temporary
// directory that the script host runs; the handler waits for the host to end.
// In an elevated host the file goes into a protected folder of the run
// (ScriptRunner::runVbscript); a script that cannot be placed so fails (1111).
int InDesignStrategy::handler(InteractiveFont *font, WindowEntity *window) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"InDesign.Application", &clsid))) {
        return Status::kNoApplication;
    }
    return runHandler(font, window, [&] {
        vorla::ComPtr<IDispatch> application;
        const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                            application.putVoid());
        if (FAILED(hr)) throw InteractiveInvokeException("初始化失败!", comFailure("CoCreateInstance", hr));
        std::string version = automation::getStringProperty(application.get(), L"Version");
        if (std::stoi(version) < 12) {
            return Status::kVersionTooOld;
        }
        std::string javaScript = AdobeScripts::inDesignScript(textOf(font->postscriptName), textOf(font->family));
        const bool ran = ScriptRunner::runVbscript(AdobeScripts::inDesignVbscript(javaScript),
                                                   AdobeScripts::kInDesignScriptDirectory,
                                                   AdobeScripts::kInDesignScriptFile);
        return ran ? Status::kDone : Status::kException;
    });
}
