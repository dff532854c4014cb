#include "strategy/win/ScriptRunner.h"

#include <fstream>
#include <iostream>
#include <system_error>
#include <vector>

#include <psapi.h>
#include <sddl.h>

#include "common/Raii.h"
#include "common/SafeFile.h"
#include "common/ShellStart.h"
#include "common/Text.h"
#include "easylogging++.h"

namespace ScriptRunner {
namespace {

using vorla::UniqueFileHandle;

std::wstring ownExecutableOrThrow(HWND window) {
    std::wstring program = getProcessImagePath(window);
    if (program.empty()) {
        throw LaunchError("no executable path for the target window");
    }
    return program;
}

void refused(const std::wstring &program, const std::string &why) {
    LOG(WARNING) << "[handler]\t[启动]\t[拒绝]\t(" << vorla::wideToUtf8(program) << ")\t" << why;
}

// An image opened for its start: read, without write or delete sharing, so that it can be neither
// changed nor replaced nor renamed (nor a folder on its way) until the started process ends.
struct HeldImage {
    UniqueFileHandle file;
    std::wstring path;  // its final path, by which it is started
};
HeldImage holdImage(const std::wstring &path) {
    HeldImage image;
    image.file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!image.file || GetFileType(image.file.get()) != FILE_TYPE_DISK) return {};
    image.path = safefile::finalPathOf(image.file.get());
    if (image.path.empty()) return {};
    return image;
}

// True when the user may change what the image loads: write the image or add a file (a DLL) to its
// folder. A folder that cannot be looked at counts as writable.
bool userMayChange(const HeldImage &image) {
    const UniqueFileHandle folder(CreateFileW(safefile::parentOf(image.path).c_str(),
                                              READ_CONTROL | FILE_READ_ATTRIBUTES, safefile::detail::kShareAll, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return !folder || safefile::userMay(folder.get(), FILE_ADD_FILE) ||
           safefile::userMay(image.file.get(), FILE_WRITE_DATA);
}

bool sameName(const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The window's own executable started with parameters, under the rule of ScriptRunner.h.
bool launchOwnExecutable(HWND window, const std::string &imageName, const std::wstring &parameters) {
    const std::wstring program = ownExecutableOrThrow(window);
    const std::wstring name = program.substr(program.find_last_of(L"\\/") + 1);
    if (!sameName(name, vorla::utf8ToWide(imageName))) {
        refused(program, "the window's program is not " + imageName);
        return false;
    }
    const HeldImage image = holdImage(program);
    if (!image.file) {
        refused(program, "its image cannot be held for the start");
        return false;
    }
    if (safefile::guardedHost() && userMayChange(image)) {
        refused(program, "the user may write its image or its folder");
        return false;
    }
    launchAndWait(image.path, parameters);
    return true;
}

std::wstring systemScriptHost() {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(system) + L"\\wscript.exe";
}

// The SID text of this process's user.
std::wstring processUser() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const vorla::UniqueHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    LPWSTR text = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &text))
        return {};
    const vorla::UniqueLocal owned(text);
    return text;
}

// A folder of this run under the temporary folder, see runVbscript.
bool runInRunFolder(const std::string &text, const std::string &directory, const std::string &fileName) {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring tempText = length == 0 ? std::wstring() : safefile::longPathOf(temp);
    const UniqueFileHandle parent = tempText.empty() ? UniqueFileHandle() : safefile::detail::openFolder(tempText);
    if (!parent || !safefile::samePath(safefile::finalPathOf(parent.get()), tempText)) {
        refused(temp, "the temporary folder is not where its name says");
        return false;
    }
    const std::wstring user = processUser();
    PSECURITY_DESCRIPTOR raw = nullptr;
    const std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;" + user + L")";
    if (user.empty() ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &raw, nullptr)) {
        refused(temp, "no descriptor for the script's folder");
        return false;
    }
    const vorla::UniqueLocal descriptor(raw);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};

    // A name of this run; one made meanwhile by another is never used.
    std::wstring folderPath;
    for (unsigned n = 0; n < 100 && folderPath.empty(); ++n) {
        const std::wstring candidate = tempText + L"\\" + vorla::utf8ToWide(directory) + L"-" +
                                       std::to_wstring(GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(n);
        if (CreateDirectoryW(candidate.c_str(), &attributes))
            folderPath = candidate;
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    const UniqueFileHandle folder(folderPath.empty()
                                      ? INVALID_HANDLE_VALUE
                                      : CreateFileW(folderPath.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder || !safefile::samePath(safefile::finalPathOf(folder.get()), folderPath)) {
        refused(folderPath.empty() ? temp : folderPath, "the script's folder could not be made where its name says");
        if (folder) safefile::detail::markForDeletion(folder.get());
        return false;
    }
    // The folder goes when the run ends (once the script is gone).
    const auto removeFolder = vorla::scopeExit([&] { safefile::detail::markForDeletion(folder.get()); });

    const std::wstring scriptPath = folderPath + L"\\" + vorla::utf8ToWide(fileName);
    bool written = false;
    {
        const UniqueFileHandle script(CreateFileW(scriptPath.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        written = script && safefile::samePath(safefile::finalPathOf(script.get()), scriptPath) &&
                  WriteFile(script.get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
                  done == text.size() && FlushFileBuffers(script.get());
        if (script && !written) safefile::detail::markForDeletion(script.get());
    }
    if (!written) {
        refused(scriptPath, "the script could not be written");
        return false;
    }
    bool ran = false;
    {
        // Held for reading, without write or delete sharing, while the script host runs it.
        const UniqueFileHandle held(
            CreateFileW(scriptPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ran = held && runVbscriptFile(scriptPath);
        if (!held) refused(scriptPath, "the script could not be held for its run");
    }
    const UniqueFileHandle script(CreateFileW(scriptPath.c_str(), DELETE, safefile::detail::kShareAll, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (script) safefile::detail::markForDeletion(script.get());
    return ran;
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

bool runScriptInOwnExecutable(HWND window, const std::string &imageName, const std::string &script) {
    return launchOwnExecutable(window, imageName, L" -s  \" " + vorla::utf8ToWide(script) + L" \" ");
}

bool signalOwnExecutable(HWND window, const std::string &imageName) {
    return launchOwnExecutable(window, imageName, L" alert() ");
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

bool runVbscriptFile(const std::filesystem::path &path) {
    std::cout << vorla::wideToUtf8(path.wstring()) << std::endl;
    const std::wstring host = systemScriptHost();
    const HeldImage image = host.empty() ? HeldImage() : holdImage(host);
    if (!image.file) {
        refused(host, "the script host cannot be held for the start");
        return false;
    }
    launchAndWait(image.path, L" /e:vbscript \"" + path.wstring() + L"\"");
    return true;
}

bool runVbscript(const std::string &text, const std::string &directory, const std::string &fileName) {
    if (safefile::guardedHost()) return runInRunFolder(text, directory, fileName);
    return runVbscriptFile(writeTempScript(text, directory, fileName));
}

}  // namespace ScriptRunner
