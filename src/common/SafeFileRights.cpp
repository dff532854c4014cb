// Safe file module: the rights of the user who asked (see SafeFileRights.h).
#include "common/SafeFileRights.h"

#include "common/Raii.h"
#include "common/SafeFilePaths.h"

#include <aclapi.h>
#include <authz.h>
#include <sddl.h>
#include <wtsapi32.h>

#include <vector>

namespace safefile {

namespace {

using vorla::UniqueHandle;
using vorla::UniqueLocal;

GENERIC_MAPPING fileMapping() { return {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS}; }

// A SID held by value.
using SidBytes = std::vector<BYTE>;

SidBytes copyOf(PSID sid) {
    if (!sid || !IsValidSid(sid)) return {};
    const BYTE *begin = static_cast<const BYTE *>(sid);
    return SidBytes(begin, begin + GetLengthSid(sid));
}

SidBytes tokenUser(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    return copyOf(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid);
}

// wtsapi32 and authz are not among the system's known DLLs: loaded by name from the system
// folder only, once, and kept for the life of the process.
HMODULE systemLibrary(const wchar_t *name) { return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32); }

template <class F>
F function(HMODULE module, const char *name) {
    return module ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

struct Wts {
    decltype(&WTSQuerySessionInformationW) query = nullptr;
    decltype(&WTSFreeMemory) release = nullptr;
};
const Wts &wts() {
    static const Wts loaded = [] {
        const HMODULE module = systemLibrary(L"wtsapi32.dll");
        Wts w;
        w.query = function<decltype(w.query)>(module, "WTSQuerySessionInformationW");
        w.release = function<decltype(w.release)>(module, "WTSFreeMemory");
        return w;
    }();
    return loaded;
}

std::wstring sessionText(WTS_INFO_CLASS what) {
    const Wts &w = wts();
    if (!w.query || !w.release) return {};
    LPWSTR text = nullptr;
    DWORD bytes = 0;
    if (!w.query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, what, &text, &bytes) || !text) return {};
    std::wstring result = text;
    w.release(text);
    return result;
}

bool sameName(const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The session's user when it is not the token's user: other is set, and sid holds that user's
// SID (empty when the account cannot be looked up, so that every check refuses).
struct SessionUser {
    bool other = false;
    SidBytes sid;
};
SessionUser otherSessionUser(const SidBytes &user) {
    SessionUser result;
    const std::wstring name = sessionText(WTSUserName);
    const std::wstring domain = sessionText(WTSDomainName);
    if (name.empty() || user.empty()) return result;  // no interactive user (a service): nothing to compare
    wchar_t tokenName[256] = {}, tokenDomain[256] = {};
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use{};
    if (LookupAccountSidW(nullptr, const_cast<BYTE *>(user.data()), tokenName, &nameSize, tokenDomain, &domainSize,
                          &use) &&
        sameName(name, tokenName) && (domain.empty() || sameName(domain, tokenDomain)))
        return result;
    const std::wstring account = domain.empty() ? name : domain + L"\\" + name;
    DWORD sidSize = 0, foundDomain = 0;
    LookupAccountNameW(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &foundDomain, &use);
    SidBytes sid(sidSize);
    std::wstring found(foundDomain + 1, L'\0');
    if (sidSize != 0 &&
        LookupAccountNameW(nullptr, account.c_str(), sid.data(), &sidSize, found.data(), &foundDomain, &use) &&
        EqualSid(sid.data(), const_cast<BYTE *>(user.data())))
        return result;  // the same account under another spelling
    result.other = true;
    if (sidSize != 0 && IsValidSid(sid.data())) result.sid = sid;
    return result;
}

bool memberOfAdministrators(HANDLE identificationToken) {
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof administrators;
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
           CheckTokenMembership(identificationToken, administrators, &member) && member;
}

struct Decision {
    Requester who = Requester::Process;
    UniqueHandle token;  // identification-level token: the linked one, or the process's own
    SidBytes sessionUser;
};

Decision decide() {
    Decision decision;
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &raw)) return decision;
    const UniqueHandle process(raw);

    const SessionUser session = otherSessionUser(tokenUser(process.get()));
    if (session.other) {
        decision.who = Requester::SessionUser;
        decision.sessionUser = session.sid;
        return decision;
    }
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    TOKEN_LINKED_TOKEN linked{};
    if (GetTokenInformation(process.get(), TokenElevationType, &type, sizeof type, &size) &&
        type == TokenElevationTypeFull &&
        GetTokenInformation(process.get(), TokenLinkedToken, &linked, sizeof linked, &size)) {
        UniqueHandle limited(linked.LinkedToken);
        // A limited token that is still an administrator (Wine's) separates nothing.
        if (!memberOfAdministrators(limited.get())) {
            decision.who = Requester::LinkedToken;
            decision.token = std::move(limited);
            return decision;
        }
    }
    HANDLE own = nullptr;
    if (DuplicateToken(process.get(), SecurityIdentification, &own)) decision.token.reset(own);
    return decision;
}

const Decision &processDecision() {
    static const Decision decision = decide();
    return decision;
}

#ifdef VORLA_RIGHTS_SEAM
const RightsSeam *&activeSeam() {
    static const RightsSeam *seam = nullptr;
    return seam;
}
#endif

// The descriptor to judge: the handle's own, or in test builds the one the seam gives.
UniqueLocal descriptorOf(HANDLE handle) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
#ifdef VORLA_RIGHTS_SEAM
    if (const RightsSeam *seam = activeSeam(); seam && seam->descriptor) {
        const std::wstring sddl = seam->descriptor(finalPathOf(handle));
        if (!sddl.empty()) {
            if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                      nullptr))
                return {};
            return UniqueLocal(descriptor);
        }
    }
#endif
    constexpr SECURITY_INFORMATION kWhat = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                           DACL_SECURITY_INFORMATION;
    // The label too, where the file system keeps one; without it the DACL still decides.
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, kWhat | LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS &&
        GetSecurityInfo(handle, SE_FILE_OBJECT, kWhat, nullptr, nullptr, nullptr, nullptr, &descriptor) !=
            ERROR_SUCCESS)
        return {};
    return UniqueLocal(descriptor);
}

bool tokenMay(HANDLE token, PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK wanted) {
    if (!token) return false;
    GENERIC_MAPPING mapping = fileMapping();
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL allowed = FALSE;
    return AccessCheck(descriptor, token, wanted, &mapping, &privileges, &privilegesSize, &granted, &allowed) &&
           allowed && (granted & wanted) == wanted;
}

struct Authz {
    decltype(&AuthzInitializeResourceManager) manager = nullptr;
    decltype(&AuthzInitializeContextFromSid) context = nullptr;
    decltype(&AuthzAccessCheck) check = nullptr;
    decltype(&AuthzFreeContext) freeContext = nullptr;
    decltype(&AuthzFreeResourceManager) freeManager = nullptr;
};
const Authz &authz() {
    static const Authz loaded = [] {
        const HMODULE module = systemLibrary(L"authz.dll");
        Authz a;
        a.manager = function<decltype(a.manager)>(module, "AuthzInitializeResourceManager");
        a.context = function<decltype(a.context)>(module, "AuthzInitializeContextFromSid");
        a.check = function<decltype(a.check)>(module, "AuthzAccessCheck");
        a.freeContext = function<decltype(a.freeContext)>(module, "AuthzFreeContext");
        a.freeManager = function<decltype(a.freeManager)>(module, "AuthzFreeResourceManager");
        return a;
    }();
    return loaded;
}

// The rights of an account that has no token in this session, through an Authz client context.
bool accountMay(const SidBytes &sid, PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK wanted) {
    const Authz &a = authz();
    if (sid.empty() || !a.manager || !a.context || !a.check || !a.freeContext || !a.freeManager) return false;
    AUTHZ_RESOURCE_MANAGER_HANDLE manager = nullptr;
    if (!a.manager(AUTHZ_RM_FLAG_NO_AUDIT, nullptr, nullptr, nullptr, L"Vorla", &manager)) return false;
    bool may = false;
    AUTHZ_CLIENT_CONTEXT_HANDLE context = nullptr;
    if (a.context(0, const_cast<BYTE *>(sid.data()), manager, nullptr, LUID{}, nullptr, &context)) {
        AUTHZ_ACCESS_REQUEST request{};
        request.DesiredAccess = wanted;
        ACCESS_MASK granted = 0;
        DWORD error = ERROR_ACCESS_DENIED;
        AUTHZ_ACCESS_REPLY reply{};
        reply.ResultListLength = 1;
        reply.GrantedAccessMask = &granted;
        reply.Error = &error;
        may = a.check(0, context, &request, nullptr, descriptor, nullptr, 0, &reply, nullptr) &&
              error == ERROR_SUCCESS && (granted & wanted) == wanted;
        a.freeContext(context);
    }
    a.freeManager(manager);
    return may;
}

}  // namespace

Requester requester() {
#ifdef VORLA_RIGHTS_SEAM
    if (const RightsSeam *seam = activeSeam())
        return seam->sessionUser.empty() ? Requester::LinkedToken : Requester::SessionUser;
#endif
    return processDecision().who;
}

bool guardedHost() { return requester() != Requester::Process; }

bool userMay(HANDLE handle, ACCESS_MASK wanted) {
    if (!handle || handle == INVALID_HANDLE_VALUE) return false;
    GENERIC_MAPPING mapping = fileMapping();
    MapGenericMask(&wanted, &mapping);
#ifdef VORLA_RIGHTS_SEAM
    if (const RightsSeam *seam = activeSeam()) {
        const UniqueLocal descriptor = descriptorOf(handle);
        if (!descriptor) return false;
        if (seam->sessionUser.empty()) return tokenMay(seam->token, descriptor.get(), wanted);
        PSID sid = nullptr;
        if (!ConvertStringSidToSidW(seam->sessionUser.c_str(), &sid)) return false;
        const UniqueLocal owned(sid);
        return accountMay(copyOf(sid), descriptor.get(), wanted);
    }
#endif
    const Decision &decision = processDecision();
    // Without a boundary the token's own access decides when the process acts on the object (a
    // share's descriptor, say, names accounts of the server that no local check could match).
    if (decision.who == Requester::Process) return true;
    const UniqueLocal descriptor = descriptorOf(handle);
    if (!descriptor) return false;
    if (decision.who == Requester::SessionUser) return accountMay(decision.sessionUser, descriptor.get(), wanted);
    return tokenMay(decision.token.get(), descriptor.get(), wanted);
}

bool userCould(HANDLE handle, ACCESS_MASK wanted) {
    if (guardedHost()) return userMay(handle, wanted);
    if (!handle || handle == INVALID_HANDLE_VALUE) return false;
    GENERIC_MAPPING mapping = fileMapping();
    MapGenericMask(&wanted, &mapping);
    const UniqueLocal descriptor = descriptorOf(handle);
    return descriptor && tokenMay(processDecision().token.get(), descriptor.get(), wanted);
}

#ifdef VORLA_RIGHTS_SEAM
void setRightsSeam(const RightsSeam *seam) { activeSeam() = seam; }
#endif

}  // namespace safefile
