// Starting Windows programs from a test or benchmark: command-line quoting, standard
// output and error captured to files (Windows node and other programs fail on pipes under
// Wine), waiting with a time limit.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Raii.h"
#include "support/TestSupport.h"

namespace testsupport {

// One argument quoted so that the C runtime's parser gives it back unchanged.
inline std::wstring quoteArgument(const std::wstring &arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (size_t i = 0;; ++i) {
        size_t backslashes = 0;
        while (i < arg.size() && arg[i] == L'\\') {
            ++backslashes;
            ++i;
        }
        if (i == arg.size()) {
            out.append(backslashes * 2, L'\\');
            break;
        }
        if (arg[i] == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
            out += L'"';
        } else {
            out.append(backslashes, L'\\');
            out += arg[i];
        }
    }
    return out + L"\"";
}

inline std::wstring commandLineOf(const std::wstring &program, const std::vector<std::wstring> &args) {
    std::wstring line = quoteArgument(program);
    for (const auto &arg : args) line += L" " + quoteArgument(arg);
    return line;
}

// A started program whose standard output and error go to files.
class ChildProcess {
public:
    ChildProcess(const std::wstring &program, const std::vector<std::wstring> &args, const fs::path &workDir,
                 const fs::path &outFile, const fs::path &errFile)
        : outFile_(outFile), errFile_(errFile) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        vorla::UniqueFileHandle out(CreateFileW(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        vorla::UniqueFileHandle err(CreateFileW(errFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        vorla::UniqueFileHandle in(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out || !err || !in) {
            startError_ = GetLastError();
            return;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.get();
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        std::wstring line = commandLineOf(program, args);
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            workDir.empty() ? nullptr : workDir.c_str(), &startup, &info)) {
            startError_ = GetLastError();
            return;
        }
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
    }

    bool started() const { return static_cast<bool>(process_); }
    // Why the program did not start (GetLastError of the failed call); 0 when it started.
    DWORD startError() const { return startError_; }
    HANDLE handle() const { return process_.get(); }

    // Waits for the end; false on timeout (the program is then killed).
    bool wait(DWORD timeoutMs = 120000) {
        if (!process_) return false;
        const DWORD waited = WaitForSingleObject(process_.get(), timeoutMs);
        if (waited != WAIT_OBJECT_0) {
            waitResult_ = waited == WAIT_FAILED ? GetLastError() : waited;
            TerminateProcess(process_.get(), 255);
            WaitForSingleObject(process_.get(), 5000);
            return false;
        }
        return true;
    }
    DWORD exitCode() const {
        DWORD code = 259;
        if (process_) GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    std::string out() const { return readFile(outFile_); }
    std::string err() const { return readFile(errFile_); }
    // The wait's result when it did not see the end (WAIT_TIMEOUT, or the error of WAIT_FAILED).
    DWORD waitResult() const { return waitResult_; }

private:
    vorla::UniqueHandle process_;
    fs::path outFile_, errFile_;
    DWORD startError_ = 0;
    DWORD waitResult_ = 0;
};

// Result of a program run to its end.
struct RunResult {
    bool finished = false;
    DWORD startError = 0;  // the program did not start: why (GetLastError)
    DWORD waitResult = 0;  // it did not end in time, or the wait failed: the wait's result
    DWORD exitCode = 0;
    std::string out, err;
    double seconds = 0;
};

// Why a run did not finish, for a test's failure message.
inline std::string whyNotFinished(const RunResult &run) {
    if (run.startError != 0) return "not started, error " + std::to_string(run.startError);
    return "not ended, wait result " + std::to_string(run.waitResult) + " after " + std::to_string(run.seconds) + " s";
}

inline RunResult runProgram(const std::wstring &program, const std::vector<std::wstring> &args, const fs::path &workDir,
                            const fs::path &captureDir, DWORD timeoutMs = 120000) {
    static unsigned counter = 0;
    const std::wstring stem = L"run" + std::to_wstring(counter++);
    const auto start = std::chrono::steady_clock::now();
    ChildProcess child(program, args, workDir, captureDir / (stem + L".out"), captureDir / (stem + L".err"));
    RunResult result;
    result.finished = child.started() && child.wait(timeoutMs);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.startError = child.startError();
    result.waitResult = child.waitResult();
    result.exitCode = child.exitCode();
    result.out = child.out();
    result.err = child.err();
    return result;
}

}  // namespace testsupport
