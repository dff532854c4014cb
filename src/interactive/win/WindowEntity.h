#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// One visible top-level window as discovery sees it. All texts are UTF-8:
// they are read with the wide window and process functions and converted once.
struct WindowEntity {
    HWND hwnd = nullptr;
    std::string exeName;    // image file name of the owning process, e.g. "WINWORD.EXE"; empty when unknown
    std::string title;      // window text
    std::string className;  // window class name
    int32_t processId = 0;  // owning process
    int32_t reserved = 0;   // always 0

    WindowEntity() = default;
    WindowEntity(HWND window, std::string exe, std::string text, std::string cls, int32_t pid)
        : hwnd(window), exeName(std::move(exe)), title(std::move(text)), className(std::move(cls)), processId(pid) {}
};
