#include <gtest/gtest.h>

#include "permissions/AdminPermission.h"
#include "permissions/WindowsPlatformPermissions.h"
#include "support/LogCapture.h"
#include "support/RightsSeam.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <optional>

namespace {

// Only a started elevated instance ends the process; declined, missing and any
// other shell failure keep it running.
TEST(Permissions, RelaunchEndsTheProcessOnlyWhenStarted) {
    struct Case {
        bool started;
        DWORD error;
        bool endProcess;
        const char *reason;
    } cases[] = {
        {true, ERROR_SUCCESS, true, ""},
        {false, ERROR_CANCELLED, false, "elevation declined"},
        {false, ERROR_FILE_NOT_FOUND, false, "executable not found"},
        {false, ERROR_ACCESS_DENIED, false, "elevated start failed with error 5"},
    };
    for (const auto &c : cases) {
        RelaunchOutcome outcome = relaunchOutcome(c.started, c.error);
        EXPECT_EQ(outcome.endProcess, c.endProcess) << c.error;
        EXPECT_EQ(outcome.reason, c.reason);
    }
}

// A start the shell refuses (here: no such file) keeps the caller running and logs why.
TEST(Permissions, RelaunchOfAMissingExecutableKeepsTheCallerRunning) {
    LogCapture log;
    const std::wstring missing = L"C:\\windows\\vorla-no-such-host.exe";
    // A relaunch taken for started ends the process with code 0; make that exit a failure.
    static bool relaunching = false;
    std::atexit([] {
        if (relaunching) std::_Exit(3);
    });
    relaunching = true;
    EXPECT_EQ(relaunchElevated(missing), 0);
    relaunching = false;
    const auto errors = log.at(el::Level::Error);
    ASSERT_EQ(errors.size(), 1u) << testing::PrintToString(log.messages());
    EXPECT_EQ(errors[0], "[runAdmin]\texecutable not found\tC:\\windows\\vorla-no-such-host.exe");
    // The shell's own code follows the line that names the reason only.
    EXPECT_EQ(log.at(el::Level::Debug),
              std::vector<std::string>{"[平台调用]\t[ShellExecuteExW]\t(error 2, 0x00000002)"});
}

// A host whose folder the user may write gets one warning line before it asks for elevation.
TEST(Permissions, AHostTheUserMayChangeIsNamedInAWarning) {
    testsupport::TempDir dir("perm-folder");
    const std::wstring host = (dir.path() / L"host.exe").wstring();
    for (const wchar_t *folder :
         {static_cast<const wchar_t *>(nullptr), testsupport::UserSeam::kOpen, testsupport::UserSeam::kProtected}) {
        std::optional<testsupport::UserSeam> seam;
        if (folder) {
            seam.emplace();
            seam->describe(dir.path(), folder);
        }
        LogCapture log;
        const bool writable = folder != testsupport::UserSeam::kProtected;  // Wine's own descriptors grant the user
        EXPECT_EQ(warnWhenTheFolderIsWritable(host), writable);
        EXPECT_EQ(log.at(el::Level::Warning).size(), writable ? 1u : 0u);
    }
}

TEST(Permissions, KnowsOnlyRunAdminByItsExactName) {
    WindowsPlatformPermissions permissions;
    ASSERT_EQ(permissions.all().size(), 1u);
    EXPECT_EQ(permissions.all().begin()->first, "runAdmin");
    // Wine runs the user as a member of Administrators.
    EXPECT_EQ(permissions.check("runAdmin"), 1);
    for (const char *name : {"", " \t\r\n", "runAdmin ", "RUNADMIN", "runadmin", "other"}) {
        EXPECT_EQ(permissions.check(name), 0) << '"' << name << '"';
    }
}

}  // namespace

// ---- The exports, through the library as the front end loads it ----

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Records.h"
#include "VorlaNode.h"
#include "common/Raii.h"
#include "common/Text.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(PermissionExports, GetPermissionsListsRunAdminGrantedUnderWine) {
    int count = -1;
    VorlaNode::VPermission *permissions = getPermissions(&count);
    ASSERT_NE(permissions, nullptr);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(permissions[0].name, "runAdmin");
    EXPECT_EQ(permissions[0].granted, 1);
    releaseVPermission(permissions);
}

// One run of the permission host (tests/fixtures/permhost), from its own folder
// so that its record and any relaunched instance's record land there.
struct HostRun {
    DWORD exitCode = 0;
    std::vector<std::string> record;
};

std::string percentEncoded(const std::string &name) {
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            char buffer[4];
            std::snprintf(buffer, sizeof buffer, "%%%02X", c);
            out += buffer;
        }
    }
    return out;
}

HostRun runHost(const testsupport::TempDir &dir, const std::vector<std::string> &names, bool holdGuard,
                std::size_t expectedStarts) {
    const fs::path build = testsupport::buildDir();
    const fs::path host = dir.path() / L"PermissionHost.exe";
    fs::copy_file(build / L"tests" / L"fixtures" / L"adobe" / L"PermissionHost.exe", host);
    std::wstring command = L"\"" + host.wstring() + L"\"" + (holdGuard ? L" --hold-guard" : L"") + L" \"" +
                           (build / L"VorlaNode.dll").wstring() + L"\"";
    for (const auto &name : names) command += L" =" + vorla::utf8ToWide(percentEncoded(name));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    HostRun run;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start the permission host";
        return run;
    }
    vorla::UniqueHandle process(info.hProcess), thread(info.hThread);
    EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
    GetExitCodeProcess(process.get(), &run.exitCode);
    // A relaunched instance records its start shortly after; give it the time.
    const fs::path record = fs::path(host.wstring() + L".record");
    auto starts = [&] {
        std::size_t n = 0;
        for (const auto &line : testsupport::lines(testsupport::readFile(record))) n += line.rfind("started", 0) == 0;
        return n;
    };
    for (int i = 0; i < 100 && starts() < expectedStarts; ++i) Sleep(100);
    Sleep(500);  // and the time to show up when none was expected
    run.record = testsupport::lines(testsupport::readFile(record));
    return run;
}

std::size_t countPrefix(const std::vector<std::string> &lines, const std::string &prefix) {
    std::size_t n = 0;
    for (const auto &line : lines) n += line.rfind(prefix, 0) == 0;
    return n;
}

TEST(PermissionExports, BlankOrMisspelledNamesReturnZeroAndStartNothing) {
    testsupport::TempDir dir("perm-names");
    const std::vector<std::string> names = {"", " \t\r\n", "runAdmin ", " runAdmin", "RUNADMIN", "runadmin"};
    HostRun run = runHost(dir, names, false, 1);
    EXPECT_EQ(run.exitCode, 7u) << "the host did not finish its requests";
    EXPECT_EQ(countPrefix(run.record, "started"), 1u) << "something was relaunched";
    std::size_t results = 0;
    for (const auto &line : run.record) {
        if (line.rfind("result ", 0) == 0) {
            ++results;
            EXPECT_EQ(line.substr(line.size() - 2), " 0") << line;
        }
    }
    EXPECT_EQ(results, names.size());
}

// Under Wine "runas" starts the program like "open" (no prompt; the user is an
// administrator already), so the relaunch really happens.
TEST(PermissionExports, RunAdminRelaunchesTheHostAndEndsTheCaller) {
    testsupport::TempDir dir("perm-relaunch");
    HostRun run = runHost(dir, {"runAdmin"}, false, 2);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(countPrefix(run.record, "result"), 0u) << "the request returned";
    ASSERT_EQ(countPrefix(run.record, "started"), 2u);
    EXPECT_NE(std::find_if(run.record.begin(), run.record.end(),
                           [](const std::string &line) {
                               return line.rfind("started ", 0) == 0 && line.substr(line.size() - 2) == " 0";
                           }),
              run.record.end())
        << "the relaunched instance must start without the caller's arguments";
}

TEST(PermissionExports, GuardEventPresentMeansNoRelaunch) {
    testsupport::TempDir dir("perm-guard");
    HostRun run = runHost(dir, {"runAdmin", "runAdmin"}, true, 1);
    EXPECT_EQ(run.exitCode, 7u);
    EXPECT_EQ(countPrefix(run.record, "started"), 1u);
    EXPECT_EQ(countPrefix(run.record, "result =runAdmin 0"), 2u);
}

}  // namespace
