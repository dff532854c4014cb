#pragma once

#include "interactive/win/WindowEntity.h"

// Platform-neutral face of the application-interaction object.
class Interactive {
public:
    virtual ~Interactive() = default;

    // The first enumerated window that a supported-application row recognises,
    // or a default-made entity when there is none.
    virtual WindowEntity getCurrentWindow() = 0;
};
