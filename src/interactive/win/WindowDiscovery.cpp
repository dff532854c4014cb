#include "interactive/win/WindowDiscovery.h"

#include <tlhelp32.h>

#include <cstdio>
#include <unordered_map>

#include "common/PlatformError.h"
#include "common/Raii.h"
#include "common/Text.h"
#include "easylogging++.h"
#include "strategy/win/AdobeStrategies.h"
#include "strategy/win/Strategy.h"

namespace {

// Window texts are read into buffers of this many characters (NUL included).
constexpr int kTextBuffer = 1024;

// Image file name of every running process, from one snapshot.
std::unordered_map<DWORD, std::string> processImageNames() {
    std::unordered_map<DWORD, std::string> names;
    vorla::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return names;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        names.emplace(entry.th32ProcessID, vorla::wideToUtf8(entry.szExeFile));
    }
    return names;
}

struct Enumeration {
    std::unordered_map<DWORD, std::string> imageNames;
    std::vector<WindowEntity> windows;
};

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM context) {
    auto &enumeration = *reinterpret_cast<Enumeration *>(context);
    if (!IsWindowVisible(hwnd)) return TRUE;
    try {
        wchar_t title[kTextBuffer] = L"";
        wchar_t className[kTextBuffer] = L"";
        GetWindowTextW(hwnd, title, kTextBuffer);
        GetClassNameW(hwnd, className, kTextBuffer);
        DWORD processId = 0;
        GetWindowThreadProcessId(hwnd, &processId);
        const auto image = enumeration.imageNames.find(processId);
        enumeration.windows.emplace_back(hwnd, image == enumeration.imageNames.end() ? std::string() : image->second,
                                         vorla::wideToUtf8(title), vorla::wideToUtf8(className),
                                         static_cast<int32_t>(processId));
    } catch (const std::exception &e) {
        LOG(ERROR) << "[enumerateWindows]\t" << e.what();
        vorla::logExceptionCode(e);
    }
    return TRUE;
}

}  // namespace

std::vector<WindowEntity> enumerateWindows() {
    Enumeration enumeration;
    enumeration.imageNames = processImageNames();
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&enumeration));
    return std::move(enumeration.windows);
}

std::vector<std::shared_ptr<Strategy>> supportedApplications() {
    return {
        std::make_shared<WordStrategy>("WINWORD.EXE", "OpusApp"),
        std::make_shared<ExeclStrategy>("EXCEL.EXE", "XLMAIN"),
        std::make_shared<PowerpointStrategy>("POWERPNT.EXE", "PPTFrameClass"),
        std::make_shared<WpsWordStrategy>("wps.exe", "OpusApp"),
        std::make_shared<WpsExeclStrategy>("wps.exe", "XLMAIN"),
        std::make_shared<WpsPowerpointStrategy>("wps.exe", "PP12FrameClass"),
        std::make_shared<PsStrategy>("Photoshop.exe"),
        std::make_shared<IllustratorStrategy>("Illustrator.exe"),
        std::make_shared<AfterEffectsStrategy>("AfterFX.exe"),
        std::make_shared<InDesignStrategy>("InDesign.exe"),
    };
}

int activateWindow(HWND target) {
    const HWND foreground = GetForegroundWindow();
    AttachThreadInput(GetWindowThreadProcessId(foreground, nullptr), GetCurrentThreadId(), TRUE);
    SetForegroundWindow(target);
    BringWindowToTop(target);
    // The messages end in the two characters "/n", not a line break.
    if (!BringWindowToTop(target)) std::printf("BringWindowToTop Error %d/n", static_cast<int>(GetLastError()));
    if (!SetForegroundWindow(target)) std::printf("SetForegroundWindow Error %d/n", static_cast<int>(GetLastError()));
    std::fflush(stdout);
    SwitchToThisWindow(target, TRUE);
    AttachThreadInput(GetWindowThreadProcessId(foreground, nullptr), GetCurrentThreadId(), FALSE);
    return 1;
}
