#include "common/Status.h"
#include "strategy/win/AdobeScripts.h"
#include "strategy/win/AdobeStrategies.h"
#include "strategy/win/ScriptRunner.h"

// After Effects runs the script given with -s to its own executable, the one
// that owns the window; the handler waits for that process to end. When it
// cannot be started, or its start is refused (the window's program is not
// After Effects, ScriptRunner.h), the font was not applied (1111).
int AfterEffectsStrategy::handler(InteractiveFont *font, WindowEntity *window) {
    return runHandler(font, window, [&] {
        const bool started = ScriptRunner::runScriptInOwnExecutable(
            window->hwnd, name, AdobeScripts::afterEffectsScript(textOf(font->postscriptName)));
        return started ? Status::kDone : Status::kException;
    });
}
