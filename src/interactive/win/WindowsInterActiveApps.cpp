// Running applications and applying a font in them: discovery and apply dispatch
// of WindowsInterActive.
#include <objbase.h>

#include <unordered_set>

#include "common/Frame.h"
#include "common/PlatformError.h"
#include "common/Status.h"
#include "easylogging++.h"
#include "interactive/win/WindowDiscovery.h"
#include "interactive/win/WindowsInterActive.h"
#include "strategy/win/Strategy.h"

std::vector<WindowEntity> WindowsInterActive::getAvailableApplications() {
    std::vector<WindowEntity> result;
    std::unordered_set<int32_t> listed;
    for (const WindowEntity &window : enumerateWindows()) {
        for (std::shared_ptr<Strategy> row : strategies) {
            // Later matches of a listed process are dropped: one entry per process.
            if (row->matches(window) && listed.insert(window.processId).second) result.push_back(window);
        }
    }
    return result;
}

WindowEntity WindowsInterActive::getCurrentWindow() {
    for (const WindowEntity &window : enumerateWindows()) {
        for (std::shared_ptr<Strategy> row : strategies) {
            if (row->matches(window)) {
                LOG(DEBUG) << "Get CurrentWindow name:" << window.exeName;
                return window;
            }
        }
    }
    return WindowEntity();
}

int WindowsInterActive::applyFontForApplication(WindowEntity *window, InteractiveFont *font) {
    int status = Status::kNoApplication;
    std::string application;
    if (const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED); FAILED(hr)) {
        LOG(ERROR) << "[COM] [Open Fail!]";
        vorla::logPlatformCode("CoInitializeEx", static_cast<std::uint32_t>(hr), vorla::CodeKind::HResult);
        return Status::kException;
    }
    status = vorla::statusFrame(
        [&] {
            // Every matching row is applied in turn; the last handler's status is the result.
            const auto apply = [&](WindowEntity &target) {
                for (std::shared_ptr<Strategy> row : strategies) {
                    if (!row->matches(target)) continue;
                    activateWindow(target.hwnd);
                    application = row->name;
                    status = row->handler(font, &target);
                }
            };
            if (window != nullptr && window->processId != 0) {
                for (WindowEntity &entry : getAvailableApplications()) {
                    if (entry.processId == window->processId) apply(entry);
                }
            } else {
                WindowEntity current = static_cast<Interactive &>(*this).getCurrentWindow();
                apply(current);
            }
            return status;
        },
        [&] {
            return "[applyFontForApplication]\t[Application:" + application + "] [fontFamily:" + textOf(font->family) +
                   "]";
        });
    if (status != Status::kDone) {
        LOG(ERROR) << "[applyFontForApplication]\t[Application:" << application
                   << "] [fontFamily:" << textOf(font->family) << "] (" << status << ")";
    } else {
        LOG(INFO) << "[applyFontForApplication]\t[Application:" << application
                  << "] [fontFamily:" << textOf(font->family) << "] (" << status << ")";
    }
    CoUninitialize();
    return status;
}
