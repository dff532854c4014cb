#pragma once

#include <map>
#include <memory>
#include <string>

#include "permissions/Permissions.h"

// The permissions this platform knows, by name (exact, case-sensitive).
class WindowsPlatformPermissions : public Permissions {
public:
    WindowsPlatformPermissions();

    // 0 for a blank or unknown name, otherwise the named permission's answer.
    int check(const char *name) override;
    int request(const char *name) override;

    const std::map<std::string, std::shared_ptr<Permissions>> &all() const { return permissions; }

private:
    Permissions *find(const char *name) const;

    std::map<std::string, std::shared_ptr<Permissions>> permissions;
};
