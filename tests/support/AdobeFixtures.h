// Fixtures of the design-application tests: the stand-in applications (tests/fixtures/adobe) and
// what they record next to themselves, one started with its window, the stand-in InDesign server's
// registration and the recording script host.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <string>

#include "common/Text.h"
#include "interactive/win/WindowEntity.h"
#include "support/TestSupport.h"

namespace adobefix {

namespace fs = std::filesystem;

inline const wchar_t kInDesignClsid[] = L"{F0955731-FBA8-4FAB-9185-8E4074F5C6CC}";

inline fs::path fixture(const wchar_t *exe) {
    return testsupport::buildDir() / L"tests" / L"fixtures" / L"adobe" / exe;
}
inline fs::path recordOf(const fs::path &exe) { return fs::path(exe.wstring() + L".record"); }
inline fs::path scriptOf(const fs::path &exe) { return fs::path(exe.wstring() + L".script"); }

inline void removeRecords(const fs::path &exe) {
    std::error_code ignored;
    fs::remove(recordOf(exe), ignored);
    fs::remove(scriptOf(exe), ignored);
}

// COM for the calling thread, as the apply path sets it up.
struct ComApartment {
    ComApartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

inline PROCESS_INFORMATION start(std::wstring command, HANDLE output = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                        &info)) {
        ADD_FAILURE() << "cannot start " << vorla::wideToUtf8(command);
    } else {
        CloseHandle(info.hThread);
    }
    return info;
}

// A stand-in application started by the test, with its visible window.
class RunningFixture {
public:
    RunningFixture(const fs::path &exe, const std::wstring &arguments) {
        removeRecords(exe);
        fs::path ready = dir_.path() / L"ready";
        info_ = start(L"\"" + exe.wstring() + L"\" --ready \"" + ready.wstring() + L"\" " + arguments);
        if (!info_.hProcess) return;
        for (int i = 0; i < 1200 && !fs::exists(ready); ++i) {
            if (WaitForSingleObject(info_.hProcess, 50) == WAIT_OBJECT_0) break;
        }
        EXPECT_TRUE(fs::exists(ready)) << "fixture not ready: " << testsupport::textOf(exe);
        EnumWindows(
            [](HWND hwnd, LPARAM self) {
                auto *me = reinterpret_cast<RunningFixture *>(self);
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                if (pid == me->info_.dwProcessId && IsWindowVisible(hwnd)) me->window_ = hwnd;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(this));
        EXPECT_NE(window_, nullptr);
    }
    RunningFixture(const RunningFixture &) = delete;
    RunningFixture &operator=(const RunningFixture &) = delete;
    ~RunningFixture() {
        if (!info_.hProcess) return;
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(info_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hProcess);
    }
    WindowEntity entity(const std::string &exeName) const {
        return WindowEntity(window_, exeName, "Untitled document", "VorlaDesignFixture",
                            static_cast<int32_t>(info_.dwProcessId));
    }

private:
    testsupport::TempDir dir_{"adobe-fixture"};
    PROCESS_INFORMATION info_{};
    HWND window_ = nullptr;
};

// "InDesign.Application" registered for the test: its local server is the
// fixture started with `arguments` (COM appends -Embedding).
class InDesignRegistration {
public:
    explicit InDesignRegistration(const std::wstring &server) {
        set(L"Software\\Classes\\InDesign.Application\\CLSID", kInDesignClsid);
        set(std::wstring(L"Software\\Classes\\CLSID\\") + kInDesignClsid + L"\\LocalServer32", server);
    }
    ~InDesignRegistration() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\InDesign.Application");
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\CLSID\\") + kInDesignClsid).c_str());
    }

private:
    static void set(const std::wstring &key, const std::wstring &value) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_SZ, value.c_str(),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
};

inline std::wstring inDesignServer(const std::wstring &version) {
    return L"\"" + fixture(L"InDesign.exe").wstring() + L"\" --version " + version;
}

inline fs::path scriptHost() {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return fs::path(system) / L"wscript.exe";
}

}  // namespace adobefix
