#include "permissions/WindowsPlatformPermissions.h"

#include <cstring>

#include "permissions/AdminPermission.h"

namespace {

// Empty, or only blanks, tabs, carriage returns and line feeds.
bool isBlankName(const char* name) { return name[std::strspn(name, " \t\r\n")] == '\0'; }

}  // namespace

WindowsPlatformPermissions::WindowsPlatformPermissions() {
    permissions["runAdmin"] = std::make_shared<AdminPermission>();
}

Permissions* WindowsPlatformPermissions::find(const char* name) const {
    if (name == nullptr || isBlankName(name)) {
        return nullptr;
    }
    auto it = permissions.find(name);
    return it == permissions.end() ? nullptr : it->second.get();
}

int WindowsPlatformPermissions::check(const char* name) {
    Permissions* permission = find(name);
    return permission ? permission->check(name) : 0;
}

int WindowsPlatformPermissions::request(const char* name) {
    Permissions* permission = find(name);
    return permission ? permission->request(name) : 0;
}
