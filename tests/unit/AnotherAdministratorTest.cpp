// Another administrator at the consent prompt: a standard user types an administrator's
// credentials, and Marlet runs as that account in the user's session. Its per-user work would
// land in the other account's fonts, so it is refused; the install lock must open for both the
// library and Marlet; a lock that could not be opened once is tried again. Wine has one account
// and enforces no descriptor: the other account is the rights seam's session user, and the lock's
// rights are shown with AccessCheck on its descriptor.
#include "common/Raii.h"
#include "common/SafeFile.h"
#include "common/Status.h"
#include "easylogging++.h"
#include "interactive/win/FontUtil.h"
#include "support/AttackFixtures.h"
#include "support/CoreFixtures.h"
#include "support/LogCapture.h"
#include "support/MiniFont.h"
#include "support/RightsSeam.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace attackfix;
using namespace corefix;
using testsupport::TempDir;

namespace {

std::wstring sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return {};
    const vorla::UniqueLocal owned(text);
    return text;
}

// This process's token as an identification-level token, restricted when denyOnly is given.
vorla::UniqueHandle identificationToken(const wchar_t *denyOnly = nullptr) {
    HANDLE process = nullptr, restricted = nullptr, identification = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process)) return {};
    const vorla::UniqueHandle processOwner(process);
    HANDLE source = process;
    vorla::UniqueHandle restrictedOwner;
    if (denyOnly) {
        PSID sid = nullptr;
        if (!ConvertStringSidToSidW(denyOnly, &sid)) return {};
        const vorla::UniqueLocal sidOwner(sid);
        SID_AND_ATTRIBUTES disabled = {sid, 0};
        if (!CreateRestrictedToken(process, 0, 1, &disabled, 0, nullptr, 0, nullptr, &restricted)) return {};
        restrictedOwner.reset(restricted);
        source = restricted;
    }
    if (!DuplicateToken(source, SecurityIdentification, &identification)) return {};
    return vorla::UniqueHandle(identification);
}

std::wstring processUser() {
    HANDLE raw = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw);
    const vorla::UniqueHandle token(raw);
    std::vector<char> buffer(512);
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
        return {};
    return sidText(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid);
}

bool tokenHasEnabledGroup(HANDLE token, const wchar_t *group) {
    std::vector<char> buffer(4096);
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenGroups, buffer.data(), static_cast<DWORD>(buffer.size()), &size)) return false;
    const auto *groups = reinterpret_cast<TOKEN_GROUPS *>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (sidText(groups->Groups[i].Sid) == group && (groups->Groups[i].Attributes & SE_GROUP_ENABLED) != 0)
            return true;
    return false;
}

// The rights the token gets on the lock made by creator.
ACCESS_MASK lockRights(HANDLE token, const std::wstring &creator, ACCESS_MASK wanted) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // AccessCheck wants an owner and a group; the mutex gets its creator's.
    const std::wstring sddl = L"O:" + creator + L"G:" + creator + installLockDescriptor(creator);
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return 0;
    const vorla::UniqueLocal owned(descriptor);
    GENERIC_MAPPING mapping = {STANDARD_RIGHTS_READ | MUTANT_QUERY_STATE, STANDARD_RIGHTS_WRITE,
                               STANDARD_RIGHTS_EXECUTE | SYNCHRONIZE, MUTANT_ALL_ACCESS};
    MapGenericMask(&wanted, &mapping);
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL allowed = FALSE;
    if (!AccessCheck(descriptor, token, wanted, &mapping, &privileges, &privilegesSize, &granted, &allowed) || !allowed)
        return 0;
    return granted;
}

}  // namespace

// The library (the user's token) and Marlet (the other administrator's) each open the lock the
// other made: both carry INTERACTIVE. Nobody gets more than waiting and releasing.
TEST(InstallLock, GrantsWaitingAndReleasingToItsCreatorAndInteractiveOnly) {
    constexpr ACCESS_MASK kUse = SYNCHRONIZE | MUTEX_MODIFY_STATE;
    const std::wstring me = processUser();
    const std::wstring other = L"S-1-5-21-1-2-3-1001";  // an account that is not this process's
    const vorla::UniqueHandle token = identificationToken();
    ASSERT_TRUE(token);
    ASSERT_TRUE(tokenHasEnabledGroup(token.get(), L"S-1-5-4")) << "the logon's token carries INTERACTIVE";

    EXPECT_EQ(lockRights(token.get(), me, kUse), kUse);
    EXPECT_EQ(lockRights(token.get(), other, kUse), kUse) << "a lock made by another account";
    // Its owner (the creator) may change its DACL, as the owner of any object may; anyone else may not.
    for (const ACCESS_MASK more : {static_cast<ACCESS_MASK>(WRITE_DAC), static_cast<ACCESS_MASK>(WRITE_OWNER),
                                   static_cast<ACCESS_MASK>(DELETE), static_cast<ACCESS_MASK>(MUTANT_ALL_ACCESS)})
        EXPECT_EQ(lockRights(token.get(), other, more), 0u) << std::hex << more;
    // Without INTERACTIVE, a lock made by another account gives nothing: that ACE is the one used.
    const vorla::UniqueHandle outside = identificationToken(L"S-1-5-4");
    ASSERT_TRUE(outside);
    EXPECT_EQ(lockRights(outside.get(), other, kUse), 0u);
}

// A lock that could not be made once (here: another object holds its name) is made at the next step.
TEST(InstallLock, AFailureToOpenItIsNotKept) {
    vorla::UniqueHandle squatter(CreateEventW(nullptr, TRUE, FALSE, L"Local\\Vorla.FontInstall"));
    ASSERT_TRUE(squatter);
    TempDir dir("lock-retry");
    const std::string family = uniqueFamily("Lock");
    const std::string path = testsupport::textOf(dir / "lock.ttf");
    writeFile(path, sfnt::miniFont({family, "", "", ""}));
    {
        LogCapture log;
        EXPECT_EQ(installFontEntry(family, path), Status::kRegistry);
        EXPECT_EQ(linesHolding(log.at(el::Level::Error), "[等待安装锁超时]"), 1u);
    }
    squatter.reset();
    EXPECT_EQ(installFontEntry(family, path), Status::kDone);
    const RawValue entry = readRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)");
    ASSERT_TRUE(entry.exists);
    EXPECT_EQ(uninstallFontEntry(family, "", entry.text), Status::kDone);
}

// Marlet running as another account than the session's user refuses the per-user work of each font;
// an all-users uninstall goes on as written.
TEST(UserRights, AnotherAdministratorAtThePromptRefusesPerUserWork) {
    TempDir dir("other-admin");
    const std::string family = uniqueFamily("Other");
    const std::string source = testsupport::textOf(dir / "other.ttf");
    writeFile(source, sfnt::miniFont({family, "", "", ""}));
    ASSERT_EQ(installFontEntry(family, source), Status::kDone);  // the user's own, before
    const RawValue installed = readRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)");
    ASSERT_TRUE(installed.exists);

    const std::string systemFamily = uniqueFamily("OtherSystem");
    const std::string systemFile = systemFontsFolder() + systemFamily + ".ttf";
    writeFile(systemFile, sfnt::miniFont({systemFamily, "", "", ""}));
    setRawFontValue(HKEY_LOCAL_MACHINE, systemFamily + " (TrueType)", REG_SZ, systemFile);
    ASSERT_TRUE(addFontResource(systemFile));
    {
        testsupport::UserSeam seam;
        seam.sessionUserIs(L"S-1-5-21-1-2-3-1001");
        LogCapture log;
        EXPECT_EQ(installFontEntry(family, source), Status::kException);
        EXPECT_EQ(uninstallFontEntry(family, "", installed.text), Status::kException);
        EXPECT_EQ(linesHolding(log.at(el::Level::Error), "[其他账户]"), 2u);
        EXPECT_EQ(log.at(el::Level::Error).size(), 2u);
        EXPECT_TRUE(readRawFontValue(HKEY_CURRENT_USER, family + " (TrueType)").exists) << "per-user work was done";
        EXPECT_TRUE(exists(installed.text));

        EXPECT_EQ(uninstallFontEntry(systemFamily, "", systemFile), Status::kDone);
        EXPECT_FALSE(readRawFontValue(HKEY_LOCAL_MACHINE, systemFamily + " (TrueType)").exists);
        EXPECT_FALSE(exists(systemFile));
    }
    EXPECT_EQ(uninstallFontEntry(family, "", installed.text), Status::kDone);
}
