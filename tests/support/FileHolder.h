// An application that has a file open: FileHolder.exe (tests/fixtures/file-holder) holds it with
// read access and read sharing only, so that no one can open it for deletion or writing, from its
// start until release() (or the end of this object, or 60 s).
#pragma once

#include <windows.h>

#include "common/Raii.h"
#include "common/Text.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <atomic>
#include <string>

namespace testsupport {

class FileHolder {
public:
    // Starts the holder and waits until it has the file open; holding() says whether it has.
    explicit FileHolder(const std::string &path) {
        static std::atomic<unsigned> counter{0};
        const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()) +
                                 L"-" + std::to_wstring(counter++);
        const std::wstring readyName = L"VorlaHolderReady-" + tag, releaseName = L"VorlaHolderRelease-" + tag;
        ready_.reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
        release_.reset(CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
        std::wstring command = commandLineOf(testProgram(L"FileHolder.exe"),
                                             {vorla::utf8ToWide(path), readyName, releaseName});
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!ready_ || !release_ ||
            !CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return;
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        const HANDLE waits[] = {ready_.get(), process_.get()};
        holding_ = WaitForMultipleObjects(2, waits, FALSE, 10000) == WAIT_OBJECT_0;
    }
    FileHolder(const FileHolder &) = delete;
    FileHolder &operator=(const FileHolder &) = delete;
    ~FileHolder() { release(); }

    bool holding() const { return holding_; }
    // Lets go of the file and waits until the holder has ended.
    void release() {
        if (!process_) return;
        SetEvent(release_.get());
        WaitForSingleObject(process_.get(), 10000);
        process_.reset();
        holding_ = false;
    }

private:
    vorla::UniqueHandle ready_, release_, process_;
    bool holding_ = false;
};

}  // namespace testsupport
