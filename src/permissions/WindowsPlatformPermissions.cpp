#include "permissions/WindowsPlatformPermissions.h"

#include "common/Text.h"
#include "permissions/AdminPermission.h"

WindowsPlatformPermissions::WindowsPlatformPermissions() {
    permissions["runAdmin"] = std::make_shared<AdminPermission>();
}

Permissions *WindowsPlatformPermissions::find(const char *name) const {
    if (name == nullptr || vorla::isBlank(name)) {
        return nullptr;
    }
    auto it = permissions.find(name);
    return it == permissions.end() ? nullptr : it->second.get();
}

int WindowsPlatformPermissions::check(const char *name) {
    Permissions *permission = find(name);
    return permission ? permission->check(name) : 0;
}

int WindowsPlatformPermissions::request(const char *name) {
    Permissions *permission = find(name);
    return permission ? permission->request(name) : 0;
}
