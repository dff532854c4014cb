#pragma once
// The records that cross the boundary to the front end. Their layout is a binary contract
// (64-bit Windows natural alignment); the static_asserts below pin every size and offset.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/InteractiveFont.h"

namespace VorlaNode {

// Heap for every text handed to the front end. Tests may swap it to count allocations.
struct TextHeap {
    void *(*allocate)(std::size_t size);
    void (*release)(void *block);
};
TextHeap &textHeap();
// A heap copy of a NUL-terminated text (length + 1 bytes); null stays null.
char *copyText(const char *text);
char *copyText(const std::string &text);
// Frees a text made by copyText and nulls the pointer.
void freeText(char *&text) noexcept;

struct VorlaConfig {
    const char *logPath;   // directory prefix of the log file, ends with a separator
    const void *reserved;  // not read by the library
    const char *logName;   // stem of the log file name
    const char *language;  // locale of family names, e.g. "zh-CN"
    const char *appName;
    const char *appId;
};

class FontForm {
public:
    char *family;
    char *path;
    char *postscriptName;
    char *style;

    // Owned copies of the four texts; a null text stays null.
    std::unique_ptr<InteractiveFont> toInteractiveFont() const;
};

class ApplyFont {
public:
    char *family;
    char *path;
    char *postscriptName;
    char *style;
    int processId;  // 0: no particular target
};

class FontData {
public:
    char *path = nullptr;
    char *postscriptName = nullptr;
    char *family = nullptr;
    char *style = nullptr;
    int weight = 0;
    int width = 0;
    bool italic = false;
    bool monospace = false;

    FontData() = default;
    FontData(const FontData &) = delete;
    FontData &operator=(const FontData &) = delete;
    ~FontData();
};

class WindowData {
public:
    char *exeName = nullptr;
    char *title = nullptr;
    int processId = 0;

    WindowData() = default;
    WindowData(const WindowData &) = delete;
    WindowData &operator=(const WindowData &) = delete;
    ~WindowData();
};

class VPermission {
public:
    char *name = nullptr;
    int granted = 0;

    VPermission() = default;
    VPermission(const VPermission &) = delete;
    VPermission &operator=(const VPermission &) = delete;
    ~VPermission();
};

// One finding of checkFonts (interactive/win/FontHealth.h); texts never null (empty instead).
class FontHealth {
public:
    int kind = 0;   // 1 missingFile, 2 unnamedCopy, 3 sameFace, 4 notLoadable, 5 lostAtLogon, 6 unfinished
    int scope = 0;  // 0 per user, 1 all users
    char *valueName = nullptr;
    char *path = nullptr;
    char *detail = nullptr;
    int group = 0;
    std::uint32_t fontRevision = 0;  // 16.16
    std::int64_t size = 0;
    char *postscriptName = nullptr;

    FontHealth() = default;
    FontHealth(const FontHealth &) = delete;
    FontHealth &operator=(const FontHealth &) = delete;
    ~FontHealth();
};

static_assert(sizeof(void *) == 8, "the records are laid out for 64-bit processes");
static_assert(offsetof(VorlaConfig, logPath) == 0 && offsetof(VorlaConfig, reserved) == 8 &&
                  offsetof(VorlaConfig, logName) == 16 && offsetof(VorlaConfig, language) == 24 &&
                  offsetof(VorlaConfig, appName) == 32 && offsetof(VorlaConfig, appId) == 40 &&
                  sizeof(VorlaConfig) == 48,
              "VorlaConfig layout");
static_assert(offsetof(FontForm, family) == 0 && offsetof(FontForm, path) == 8 &&
                  offsetof(FontForm, postscriptName) == 16 && offsetof(FontForm, style) == 24 && sizeof(FontForm) == 32,
              "FontForm layout");
static_assert(offsetof(ApplyFont, family) == 0 && offsetof(ApplyFont, path) == 8 &&
                  offsetof(ApplyFont, postscriptName) == 16 && offsetof(ApplyFont, style) == 24 &&
                  offsetof(ApplyFont, processId) == 32 && sizeof(ApplyFont) == 40,
              "ApplyFont layout");
static_assert(offsetof(FontData, path) == 0 && offsetof(FontData, postscriptName) == 8 &&
                  offsetof(FontData, family) == 16 && offsetof(FontData, style) == 24 &&
                  offsetof(FontData, weight) == 32 && offsetof(FontData, width) == 36 &&
                  offsetof(FontData, italic) == 40 && offsetof(FontData, monospace) == 41 && sizeof(FontData) == 48,
              "FontData layout");
static_assert(offsetof(WindowData, exeName) == 0 && offsetof(WindowData, title) == 8 &&
                  offsetof(WindowData, processId) == 16 && sizeof(WindowData) == 24,
              "WindowData layout");
static_assert(offsetof(VPermission, name) == 0 && offsetof(VPermission, granted) == 8 && sizeof(VPermission) == 16,
              "VPermission layout");
static_assert(offsetof(FontHealth, kind) == 0 && offsetof(FontHealth, scope) == 4 &&
                  offsetof(FontHealth, valueName) == 8 && offsetof(FontHealth, path) == 16 &&
                  offsetof(FontHealth, detail) == 24 && offsetof(FontHealth, group) == 32 &&
                  offsetof(FontHealth, fontRevision) == 36 && offsetof(FontHealth, size) == 40 &&
                  offsetof(FontHealth, postscriptName) == 48 && sizeof(FontHealth) == 56,
              "FontHealth layout");

}  // namespace VorlaNode
