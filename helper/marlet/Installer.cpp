#include "Installer.h"

#include "FindingJson.h"

#include "common/Frame.h"
#include "common/InteractiveFont.h"
#include "common/Raii.h"
#include "common/SafeFile.h"
#include "common/Text.h"
#include "interactive/win/FontUtil.h"

#include "easylogging++.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>

namespace Marlet {

namespace {

// The front end's window for one run, as "-w" gave it; null without one, and once it was skipped.
struct FrontEndWindow {
    HWND handle;
    explicit FrontEndWindow(std::int32_t window)
        // The handle travels as a signed 32-bit number and is sign-extended, as window handles are.
        : handle(reinterpret_cast<HWND>(static_cast<INT_PTR>(window))) {}
};

// Sends one message to the front end's window and returns its answer, which the call waits for;
// 0 without a window. A window that is gone, or has not answered within kMessageBoundMs, is
// skipped: a warning line, and nothing more is sent to it in this run. Any other failure loses
// this message only (the first one of a run is logged; warned keeps that).
LRESULT notify(FrontEndWindow &window, unsigned message, WPARAM wParam, LPARAM lParam, bool &warned) {
    if (!window.handle) return 0;
    const char *skipped = nullptr;
    DWORD error = ERROR_SUCCESS;
    if (!IsWindow(window.handle)) {
        skipped = "the window is gone";
    } else {
        // No SMTO_ABORTIFHUNG: Windows counts a window that has not pumped for 5 s as hung, and
        // the flag would drop the message (and a stop answer with it) from a live front end that is
        // busy. SMTO_ERRORONEXIT: a window destroyed while it handles the message ends the wait.
        DWORD_PTR answer = 0;
        SetLastError(ERROR_SUCCESS);
        if (SendMessageTimeoutW(window.handle, message, wParam, lParam, SMTO_NORMAL | SMTO_ERRORONEXIT, kMessageBoundMs,
                                &answer))
            return static_cast<LRESULT>(answer);
        error = GetLastError();
        if (!IsWindow(window.handle))
            skipped = "the window is gone";
        else if (error == ERROR_TIMEOUT || error == ERROR_SUCCESS)  // older systems report a time-out as 0
            skipped = "no answer within the bound";
    }
    if (skipped) {
        LOG(WARNING) << "[Marlet]\t[窗口消息]\t[跳过]\t(" << reinterpret_cast<INT_PTR>(window.handle) << ")\tmessage "
                     << message << ": " << skipped << " (" << kMessageBoundMs << " ms, Windows error " << error
                     << "); nothing more is sent to it, the run goes on";
        window.handle = nullptr;
        return 0;
    }
    if (!warned)
        LOG(WARNING) << "[Marlet]\t[窗口消息]\t[失败]\t(" << reinterpret_cast<INT_PTR>(window.handle) << ")\tmessage "
                     << message << " not delivered, Windows error " << error << "; the run goes on";
    warned = true;
    return 0;
}

// Writes text and a line end to standard output exactly as given: the help text carries
// its own CR LF pairs, which the text mode of the stream would otherwise double.
void writeRawLine(const std::string &text) {
    std::cout.flush();
    std::fflush(stdout);
    const int previous = _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fwrite("\r\n", 1, 2, stdout);
    std::fflush(stdout);
    if (previous != -1) _setmode(_fileno(stdout), previous);
}

// Writes the JSON text and one line end (CR LF) into the result file; false when it cannot be
// opened or written. The file is opened through the checks of an elevated write: an existing file
// only when it is empty (the bridge makes it so before the start; nothing that holds anything is
// truncated), where its name says, with one link, and the user may write it; a missing one only
// inside a folder that is where its name says and where the user may create files.
bool writeResultFile(const std::string &path, const std::string &json) {
    const vorla::UniqueFileHandle file = safefile::openCheckedForWriting(vorla::utf8ToWide(path));
    if (!file) return false;
    const std::string text = json + "\r\n";
    size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 30));
        if (!WriteFile(file.get(), text.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

// The loop of every mode: step(i) for each item in order, its message, its result; a stop answer
// to an item before the last ends the loop; then the final message.
std::vector<ResultStr> processItems(Action action, size_t count, std::int32_t window,
                                    const std::function<int(size_t)> &step,
                                    const std::function<std::string(size_t)> &entry) {
    const unsigned perItem = action == Action::Install     ? kInstalledOne
                             : action == Action::Uninstall ? kUninstalledOne
                                                           : kRepairedOne;
    std::vector<ResultStr> results;
    results.reserve(count);
    FrontEndWindow frontEnd(window);
    bool warned = false;
    for (size_t i = 0; i < count; ++i) {
        const int status = vorla::statusFrame([&] { return step(i); }, [&] { return entry(i); });
        const LRESULT answer = notify(frontEnd, perItem, static_cast<WPARAM>(i), static_cast<LPARAM>(status), warned);
        results.emplace_back(status, "");
        if (answer == kStopAnswer && i + 1 < count) {
            LOG(INFO) << "[Marlet]\t[停止]\t(" << results.size() << "/" << count << ")\tstopped by the front end";
            break;
        }
    }

    if (action == Action::Install)
        notify(frontEnd, kInstallDone, static_cast<WPARAM>(results.size()), 0, warned);
    else if (action == Action::Uninstall)
        notify(frontEnd, kUninstallDone, 0, static_cast<LPARAM>(results.size()), warned);
    else
        notify(frontEnd, kRepairDone, static_cast<WPARAM>(results.size()), 0, warned);
    return results;
}

}  // namespace

int coreStep(Action action, const InteractiveFont &font) {
    if (action == Action::Install) return installFontEntry(textOf(font.family), textOf(font.path));
    return uninstallFontEntry(textOf(font.family), textOf(font.postscriptName), textOf(font.path));
}

std::vector<ResultStr> processFonts(Action action, const std::vector<FontJSONObj> &fonts, std::int32_t window,
                                    const FontStep &step) {
    std::vector<InteractiveFont> list;
    list.reserve(fonts.size());
    for (const auto &json : fonts) list.push_back(interactiveFontOf(json));
    const char *tag = action == Action::Install ? "[字体安装]" : "[字体卸载]";
    return processItems(
        action, list.size(), window,
        [&](size_t i) {
            const int status = step(action, list[i]);
            list[i] = InteractiveFont{};
            return status;
        },
        [&](size_t i) { return std::string(tag) + "\t[异常]\t(" + textOf(list[i].path) + ")\t"; });
}

int repairStep(const HealthFinding &finding) { return repairFinding(finding, HealthScope::AllUsers); }

std::vector<ResultStr> processFindings(const std::vector<HealthFinding> &findings, std::int32_t window,
                                       const FindingStep &step) {
    return processItems(
        Action::Repair, findings.size(), window, [&](size_t i) { return step(findings[i]); },
        [&](size_t i) { return "[字体修复]\t[异常]\t(" + findings[i].path + ")\t"; });
}

int run(const Invocation &invocation) {
    switch (invocation.action) {
    case Action::Help:
        writeRawLine(kHelpText);
        return kExitDone;
    case Action::Usage:
        std::cout << invocation.usage << std::endl;
        return kExitUsage;
    case Action::Install:
    case Action::Uninstall:
    case Action::Repair:
        break;
    }

    std::vector<ResultStr> results;
    size_t listed = 0;
    if (invocation.action == Action::Repair) {
        const auto findings = parseFindingList(invocation.fontList);
        listed = findings.size();
        results = processFindings(findings, invocation.window);
    } else {
        const auto fonts = parseFontList(invocation.fontList);
        listed = fonts.size();
        results = processFonts(invocation.action, fonts, invocation.window);
    }
    const auto json = resultListToJson(results);
    const int finished = results.size() < listed ? kExitStopped : kExitDone;

    if (!invocation.output) {
        std::cout << json << std::endl;
        return finished;
    }
    if (!writeResultFile(*invocation.output, json)) {
        std::cerr << "Unable to open file for writing." << std::endl;
        return kExitResultLost;
    }
    return finished;
}

}  // namespace Marlet
