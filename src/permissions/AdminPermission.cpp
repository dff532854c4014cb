#include "permissions/AdminPermission.h"

#include <cstdlib>

#include "common/PlatformError.h"
#include "common/Raii.h"
#include "common/SafeFile.h"
#include "common/ShellStart.h"
#include "common/Text.h"
#include "easylogging++.h"

int AdminPermission::check(const char *) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    vorla::UniqueSid administrators;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, administrators.put())) {
        return 0;
    }
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators.get(), &member)) {
        return 0;
    }
    return member == TRUE ? 1 : 0;
}

int AdminPermission::request(const char *) {
    // The host program that loaded the library, not the library file.
    std::wstring executable(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, executable.data(), static_cast<DWORD>(executable.size()));
        if (length == 0) {
            return 0;
        }
        if (length < executable.size()) {
            executable.resize(length);
            break;
        }
        executable.resize(executable.size() * 2);
    }
    warnWhenTheFolderIsWritable(executable);
    return relaunchElevated(executable);
}

bool warnWhenTheFolderIsWritable(const std::wstring &executable) {
    const std::wstring folder = safefile::parentOf(executable);
    const vorla::UniqueFileHandle handle(CreateFileW(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                                     safefile::detail::kShareAll, nullptr, OPEN_EXISTING,
                                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (handle && !safefile::userCould(handle.get(), FILE_ADD_FILE)) return false;
    LOG(WARNING) << "[runAdmin]\tthe user may write the host's folder: a program or DLL placed there runs as "
                    "administrator after the prompt\t("
                 << vorla::wideToUtf8(folder) << ")";
    return true;
}

RelaunchOutcome relaunchOutcome(bool started, DWORD error) {
    if (started) {
        return {true, ""};
    }
    switch (error) {
    case ERROR_CANCELLED:
        return {false, "elevation declined"};
    case ERROR_FILE_NOT_FOUND:
        return {false, "executable not found"};
    default:
        return {false, "elevated start failed with error " + std::to_string(error)};
    }
}

int relaunchElevated(const std::wstring &executable) {
    // The guard stays open for the rest of the process: while any process of the
    // logon holds it, further requests start nothing.
    static vorla::UniqueHandle guard;
    SetLastError(ERROR_SUCCESS);
    vorla::UniqueHandle event(CreateEventW(nullptr, FALSE, FALSE, kRelaunchGuardEvent));
    DWORD eventError = GetLastError();
    if (!event) {
        LOG(ERROR) << "[runAdmin]\tguard event not created, error " << eventError;
        vorla::logPlatformCode("CreateEventW", eventError);
        return 0;
    }
    if (eventError != ERROR_SUCCESS) {
        LOG(WARNING) << "[runAdmin]\tan elevated start is already under way";
        return 0;
    }
    guard = std::move(event);

    const vorla::ShellStart start = vorla::shellStart(L"runas", executable);
    RelaunchOutcome outcome = relaunchOutcome(start.started, start.error);
    if (!outcome.endProcess) {
        LOG(ERROR) << "[runAdmin]\t" << outcome.reason << "\t" << vorla::wideToUtf8(executable);
        vorla::logPlatformCode("ShellExecuteExW", start.error);
        return 0;
    }
    LOG(INFO) << "[runAdmin]\televated instance started, exiting";
    Sleep(100);
    std::exit(0);
}
