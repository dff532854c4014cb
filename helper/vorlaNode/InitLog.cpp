#include "InitLog.h"

#include <windows.h>

#include <ctime>
#include <mutex>

#include "Records.h"
#include "common/Raii.h"
#include "common/SafeFile.h"
#include "common/Text.h"
#include "easylogging++.h"

namespace VorlaNode {
namespace {

// True when the UTF-8 text survives a round trip through the ANSI code page, i.e. the
// logging library's narrow file functions will reach the same file.
bool fitsAnsiCodePage(const std::string &utf8) {
    std::string ansi;
    return vorla::wideToAnsi(vorla::utf8ToWide(utf8), ansi);
}

std::string todayStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    char stamp[16] = {};
    std::strftime(stamp, sizeof stamp, "%Y%m%d", &local);
    return stamp;
}

// Short (8.3) name of an existing file or folder, in ANSI form; empty when there is none.
std::string shortAnsiName(const std::wstring &path) {
    std::wstring shortPath(MAX_PATH, L'\0');
    DWORD size = GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (size > shortPath.size()) {
        shortPath.resize(size);
        size = GetShortPathNameW(path.c_str(), shortPath.data(), size);
    }
    if (size == 0 || size > shortPath.size()) return {};
    shortPath.resize(size);
    std::string ansi;
    if (!vorla::wideToAnsi(shortPath, ansi)) return {};
    return ansi;
}

// The log file of an elevated host: one append handle, opened through the safe module and
// written by a dispatch callback, so the logging library never opens, appends to or truncates a
// file by its name (a log folder replaced by a junction would lead those elsewhere).
std::mutex &logFileLock() {
    static std::mutex lock;
    return lock;
}
vorla::UniqueFileHandle &logFile() {
    static vorla::UniqueFileHandle file;
    return file;
}
void setLogFile(vorla::UniqueFileHandle file) {
    const std::lock_guard<std::mutex> lock(logFileLock());
    logFile() = std::move(file);
}

class CheckedLogFile : public el::LogDispatchCallback {
protected:
    void handle(const el::LogDispatchData *data) override {
        if (data->dispatchAction() != el::base::DispatchAction::NormalLog) return;
        const std::string line = data->logMessage()->logger()->logBuilder()->build(data->logMessage(), true);
        std::string text;  // with CR LF line ends, as the library's own (text-mode) file gets them
        text.reserve(line.size() + 2);
        for (char c : line) {
            if (c == '\n') text += '\r';
            text += c;
        }
        const std::lock_guard<std::mutex> lock(logFileLock());
        DWORD written = 0;
        if (logFile()) WriteFile(logFile().get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
};

void installCheckedLogFile() {
    static std::once_flag once;
    std::call_once(once, [] { el::Helpers::installLogDispatchCallback<CheckedLogFile>("VorlaCheckedLogFile"); });
}

}  // namespace

std::string logFileNameFor(const std::string &logPath, const std::string &stem) {
    const std::string pattern = logPath + stem + "_%datetime{%Y%M%d}.log";
    if (fitsAnsiCodePage(logPath + stem)) return pattern;

    // The logging library opens files by narrow (ANSI) name, which would lose these characters.
    // Create today's file under its real name, then hand the library its short name instead.
    const std::wstring wideName = vorla::utf8ToWide(logPath + stem + "_" + todayStamp() + ".log");
    vorla::UniqueFileHandle file(CreateFileW(wideName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return pattern;
    file.reset();
    const std::string shortName = shortAnsiName(wideName);
    if (shortName.empty()) return pattern;
    // The library passes these bytes on unchanged to the narrow file functions.
    return shortName;
}

void initLog(const VorlaConfig &config) {
    el::Configurations settings;
    std::string pathText;
    // An elevated host (one that works for a user whose rights are not its own) writes its log
    // only through a handle checked like any file a caller names: no link on the way, the final
    // path as given, the user may write it; no size rollover. Refused: standard output only.
    const bool guarded = safefile::guardedHost();
    std::string refused;
    if (config.logPath != nullptr && config.logPath[0] != '\0') {
        const std::string stem = (config.logName != nullptr && config.logName[0] != '\0') ? config.logName : "Vorla";
        pathText = std::string(config.logPath) + stem;
        if (guarded) {
            const std::string file = pathText + "_" + todayStamp() + ".log";
            vorla::UniqueFileHandle handle = safefile::openCheckedForAppending(vorla::utf8ToWide(file));
            if (!handle) refused = file;
            installCheckedLogFile();
            setLogFile(std::move(handle));
            settings.setGlobally(el::ConfigurationType::Filename, "nul");
        } else {
            setLogFile({});
            settings.setGlobally(el::ConfigurationType::Filename, logFileNameFor(config.logPath, stem));
        }
    }
    settings.setGlobally(el::ConfigurationType::ToStandardOutput, refused.empty() ? "false" : "true");
    settings.setGlobally(el::ConfigurationType::ToFile, guarded ? "false" : "true");
    settings.setGlobally(el::ConfigurationType::Enabled, "true");
    settings.setGlobally(el::ConfigurationType::SubsecondPrecision, "3");
    settings.setGlobally(el::ConfigurationType::MaxLogFileSize, guarded ? "0" : "1048576");
    settings.setGlobally(el::ConfigurationType::LogFlushThreshold, "0");
    settings.setGlobally(el::ConfigurationType::PerformanceTracking, "0");
    settings.setGlobally(el::ConfigurationType::Format, kLogFormat);
    el::Loggers::reconfigureAllLoggers(settings);

    if (!refused.empty())
        LOG(WARNING) << "[初始化]\t[日志文件]\t[拒绝]\t(" << refused
                     << ")\tnot where its name says, or the user may not write it: standard output only";
    LOG(INFO) << "[初始化]\t[成功]\t(loglevel:)\t(logPath:" << pathText << ")";
}

void initInstallerLog() {
    el::Configurations settings;
    settings.setToDefault();
    settings.setGlobally(el::ConfigurationType::Format, kLogFormat);
    settings.setGlobally(el::ConfigurationType::ToFile, "true");
    settings.setGlobally(el::ConfigurationType::Enabled, "true");
    el::Loggers::reconfigureLogger("default", settings);
}

}  // namespace VorlaNode
