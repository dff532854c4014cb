#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "common/InteractiveFont.h"
#include "interactive/win/WindowEntity.h"

// One row of the supported-application table: recognises the windows of one
// application and applies a font to the current text selection inside it.
// Window texts reach matches() and handler() in UTF-8.
class Strategy {
public:
    explicit Strategy(std::string exeName) : name(std::move(exeName)) {}
    virtual ~Strategy() = default;

    // Applies the font to the current selection of the application owning the
    // window; returns a status code (0 = done). The base does nothing.
    virtual int handler(InteractiveFont *font, WindowEntity *window);

    // Base rule: the row's name equals the window's title, exeName or className
    // (exact byte comparison).
    virtual bool matches(const WindowEntity &window) const;

    std::string name;  // executable file name the row serves, e.g. "WINWORD.EXE"

protected:
    // The frame of every handler: runs `body` and returns its status. A standard
    // exception leaving it is logged at error level as
    // "[handler]\t[Application:<exeName>] [fontFamily:<family>]\t<what>"
    // and gives 1111.
    static int runHandler(const InteractiveFont *font, const WindowEntity *window, const std::function<int()> &body);
};

// Office rows: the base rule plus, when className is set, the window class.
class OfficeStrategy : public virtual Strategy {
public:
    OfficeStrategy(std::string exeName, std::string windowClass)
        : Strategy(std::move(exeName)), className(std::move(windowClass)) {}
    bool matches(const WindowEntity &window) const override;

    std::string className;

protected:
    // The WPS rule: the base rule and, when className is set, a title holding one of `markers`.
    bool matchesWithTitleMarker(const WindowEntity &window, std::initializer_list<const char *> markers) const;
};

class WordStrategy : public OfficeStrategy {
public:
    WordStrategy(const std::string &exeName, const std::string &windowClass)
        : Strategy(exeName), OfficeStrategy(exeName, windowClass) {}
    int handler(InteractiveFont *font, WindowEntity *window) override;
};

class ExeclStrategy : public OfficeStrategy {
public:
    ExeclStrategy(const std::string &exeName, const std::string &windowClass)
        : Strategy(exeName), OfficeStrategy(exeName, windowClass) {}
    int handler(InteractiveFont *font, WindowEntity *window) override;
};

class PowerpointStrategy : public OfficeStrategy {
public:
    PowerpointStrategy(const std::string &exeName, const std::string &windowClass)
        : Strategy(exeName), OfficeStrategy(exeName, windowClass) {}
    int handler(InteractiveFont *font, WindowEntity *window) override;
};

// The three WPS rows share one image name; a non-empty className only switches
// on a title test (document extension), the window class is not compared.
class WpsWordStrategy : public OfficeStrategy {
public:
    WpsWordStrategy(const std::string &exeName, const std::string &windowClass)
        : Strategy(exeName), OfficeStrategy(exeName, windowClass) {}
    int handler(InteractiveFont *font, WindowEntity *window) override;
    bool matches(const WindowEntity &window) const override;
};

class WpsExeclStrategy : public ExeclStrategy {
public:
    WpsExeclStrategy(const std::string &exeName, const std::string &windowClass)
        : Strategy(exeName), ExeclStrategy(exeName, windowClass) {}
    int handler(InteractiveFont *font, WindowEntity *window) override;
    bool matches(const WindowEntity &window) const override;
};

// Served through the PowerPoint handler and its ProgID.
class WpsPowerpointStrategy : public PowerpointStrategy {
public:
    WpsPowerpointStrategy(const std::string &exeName, const std::string &windowClass)
        : Strategy(exeName), PowerpointStrategy(exeName, windowClass) {}
    bool matches(const WindowEntity &window) const override;
};
