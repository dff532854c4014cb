#include "strategy/win/ScriptRunner.h"

#include <fstream>
#include <iostream>
#include <system_error>

#include <psapi.h>

#include "common/Raii.h"
#include "common/ShellStart.h"
#include "common/Text.h"

namespace ScriptRunner {
namespace {

std::wstring ownExecutableOrThrow(HWND window) {
    std::wstring program = getProcessImagePath(window);
    if (program.empty()) {
        throw LaunchError("no executable path for the target window");
    }
    return program;
}

}  // namespace

std::wstring getProcessImagePath(HWND window) {
    if (window == nullptr) {
        return {};
    }
    DWORD processId = 0;
    if (GetWindowThreadProcessId(window, &processId) == 0) {
        return {};
    }
    vorla::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    if (K32GetModuleFileNameExW(process.get(), nullptr, path, MAX_PATH) == 0) {
        std::cout << std::endl;
        return {};
    }
    return path;
}

void launchAndWait(const std::wstring &program, const std::wstring &parameters) {
    const vorla::ShellStart start = vorla::shellStart(L"open", program, parameters);
    if (!start.started) {
        const DWORD error = start.error;
        throw LaunchError("cannot start " + vorla::wideToUtf8(program) + ": " +
                              std::system_category().message(static_cast<int>(error)) + " (" + std::to_string(error) +
                              ")",
                          vorla::PlatformFailure("ShellExecuteExW", error, vorla::CodeKind::Win32));
    }
    if (start.process) {
        WaitForSingleObject(start.process.get(), INFINITE);
    }
}

void runScriptInOwnExecutable(HWND window, const std::string &script) {
    std::wstring program = ownExecutableOrThrow(window);
    launchAndWait(program, L" -s  \" " + vorla::utf8ToWide(script) + L" \" ");
}

void signalOwnExecutable(HWND window) {
    std::wstring program = ownExecutableOrThrow(window);
    launchAndWait(program, L" alert() ");
}

std::filesystem::path writeTempScript(const std::string &text, const std::string &directory,
                                      const std::string &fileName) {
    wchar_t temp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, temp) == 0) {
        throw std::filesystem::filesystem_error(
            "GetTempPathW", std::error_code(static_cast<int>(GetLastError()), std::system_category()));
    }
    std::filesystem::path folder = std::filesystem::path(temp) / vorla::utf8ToWide(directory);
    if (!std::filesystem::exists(folder)) {
        std::filesystem::create_directories(folder);
    }
    std::filesystem::path path = folder / vorla::utf8ToWide(fileName);
    std::ofstream out(path, std::ios::out | std::ios::trunc | std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        throw std::filesystem::filesystem_error("cannot write the script file", path,
                                                std::make_error_code(std::errc::io_error));
    }
    return path;
}

void runVbscriptFile(const std::filesystem::path &path) {
    std::cout << vorla::wideToUtf8(path.wstring()) << std::endl;
    launchAndWait(L"wscript.exe", L" /e:vbscript \"" + path.wstring() + L"\"");
}

}  // namespace ScriptRunner
