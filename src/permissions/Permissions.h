#pragma once

// A named permission: whether the process holds it, and a way to obtain it.
class Permissions {
public:
    // 1 when the named permission is held, 0 when not.
    virtual int check(const char *name) = 0;
    // Tries to obtain the named permission; 0 when it was not obtained. Obtaining
    // some permissions ends the current process, in which case this never returns.
    virtual int request(const char *name) = 0;
    virtual ~Permissions() = default;
};
