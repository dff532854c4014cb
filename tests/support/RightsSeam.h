// The rights decision's test seam (VORLA_RIGHTS_SEAM, compiled into the test program only): while
// a UserSeam lives, the user who asked is this process's token restricted (its user and the
// Administrators group deny-only), and the objects the test names have the descriptors it gives.
// Wine enforces no ACL and honours deny-only for groups only, not for the user's own SID, so the
// descriptors that refuse name no one but SYSTEM and Administrators.
#pragma once

#include "common/Raii.h"
#include "common/SafeFileRights.h"
#include "common/SafeFilePaths.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class UserSeam {
public:
    // SYSTEM and Administrators only: what the user may not touch.
    static constexpr const wchar_t *kProtected = L"O:SYG:SYD:P(A;;FA;;;SY)(A;;FA;;;BA)";
    // Everyone, the restricted token too: what the user may touch.
    static constexpr const wchar_t *kOpen = L"O:SYG:SYD:(A;;FA;;;WD)";

    UserSeam() {
        HANDLE process = nullptr, restricted = nullptr, identification = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process)) {
            const vorla::UniqueHandle owner(process);
            BYTE user[SECURITY_MAX_SID_SIZE] = {}, administrators[SECURITY_MAX_SID_SIZE] = {};
            DWORD size = 0, adminSize = sizeof administrators;
            std::vector<BYTE> buffer(512);
            if (GetTokenInformation(process, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
                CopySid(sizeof user, user, reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid);
            CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &adminSize);
            SID_AND_ATTRIBUTES denyOnly[2] = {{user, 0}, {administrators, 0}};
            if (CreateRestrictedToken(process, 0, 2, denyOnly, 0, nullptr, 0, nullptr, &restricted)) {
                const vorla::UniqueHandle restrictedOwner(restricted);
                if (DuplicateToken(restricted, SecurityIdentification, &identification)) token_.reset(identification);
            }
        }
        seam_.token = token_.get();
        seam_.descriptor = [this](const std::wstring &finalPath) {
            for (const auto &[path, sddl] : descriptors_)
                if (safefile::samePath(path, finalPath)) return sddl;
            return std::wstring();
        };
        safefile::setRightsSeam(&seam_);
    }
    ~UserSeam() { safefile::setRightsSeam(nullptr); }
    UserSeam(const UserSeam &) = delete;
    UserSeam &operator=(const UserSeam &) = delete;

    bool ready() const { return static_cast<bool>(token_); }
    // The object (a file or folder that exists) has this descriptor from now on.
    void describe(const std::filesystem::path &object, const wchar_t *sddl) {
        const vorla::UniqueFileHandle handle(CreateFileW(object.c_str(), FILE_READ_ATTRIBUTES,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        descriptors_.emplace_back(handle ? safefile::finalPathOf(handle.get()) : object.wstring(), sddl);
    }
    // From now on the session's user is another account (its SID text): the Authz branch.
    void sessionUserIs(const std::wstring &sid) { seam_.sessionUser = sid; }

private:
    vorla::UniqueHandle token_;
    std::vector<std::pair<std::wstring, std::wstring>> descriptors_;
    safefile::RightsSeam seam_;
};

}  // namespace testsupport
