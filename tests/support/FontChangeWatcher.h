#pragma once
#include <windows.h>

namespace testsupport {

// A hidden top-level window of this thread that sees the WM_FONTCHANGE broadcasts.
class FontChangeWatcher {
public:
    FontChangeWatcher() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VorlaFontChangeWatcher";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"watcher", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
        count();  // start from an empty queue
    }
    ~FontChangeWatcher() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    bool ready() const { return hwnd_ != nullptr; }
    // WM_FONTCHANGE messages that arrived since the last call.
    int count() {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, hwnd_, WM_FONTCHANGE, WM_FONTCHANGE, PM_REMOVE)) ++n;
        return n;
    }

private:
    HWND hwnd_ = nullptr;
};

}  // namespace testsupport
