#pragma once

#include "strategy/win/Strategy.h"

// The design-application rows. They are recognised by the base rule (image
// name, or a window titled with it). Their handlers run a script inside the
// application; each class's handler override belongs in its own source
// (PsStrategy.cpp, IllustratorStrategy.cpp, InDesignStrategy.cpp,
// AfterEffectsStrategy.cpp). A class without one inherits the base handler.

class PsStrategy : public virtual Strategy {
public:
    explicit PsStrategy(const std::string &exeName) : Strategy(exeName) {}
    int handler(InteractiveFont *font, WindowEntity *window) override;
};

class IllustratorStrategy : public virtual Strategy {
public:
    explicit IllustratorStrategy(const std::string &exeName) : Strategy(exeName) {}
    int handler(InteractiveFont *font, WindowEntity *window) override;
};

class AfterEffectsStrategy : public virtual Strategy {
public:
    explicit AfterEffectsStrategy(const std::string &exeName) : Strategy(exeName) {}
    int handler(InteractiveFont *font, WindowEntity *window) override;
};

class InDesignStrategy : public virtual Strategy {
public:
    explicit InDesignStrategy(const std::string &exeName) : Strategy(exeName) {}
    int handler(InteractiveFont *font, WindowEntity *window) override;
};
