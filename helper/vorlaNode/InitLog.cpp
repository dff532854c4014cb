#include "InitLog.h"

#include <windows.h>

#include <ctime>

#include "Records.h"
#include "common/Raii.h"
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
    if (config.logPath != nullptr && config.logPath[0] != '\0') {
        const std::string stem = (config.logName != nullptr && config.logName[0] != '\0') ? config.logName : "Vorla";
        pathText = std::string(config.logPath) + stem;
        settings.setGlobally(el::ConfigurationType::Filename, logFileNameFor(config.logPath, stem));
    }
    settings.setGlobally(el::ConfigurationType::ToStandardOutput, "false");
    settings.setGlobally(el::ConfigurationType::ToFile, "true");
    settings.setGlobally(el::ConfigurationType::Enabled, "true");
    settings.setGlobally(el::ConfigurationType::SubsecondPrecision, "3");
    settings.setGlobally(el::ConfigurationType::MaxLogFileSize, "1048576");
    settings.setGlobally(el::ConfigurationType::LogFlushThreshold, "0");
    settings.setGlobally(el::ConfigurationType::PerformanceTracking, "0");
    settings.setGlobally(el::ConfigurationType::Format, kLogFormat);
    el::Loggers::reconfigureAllLoggers(settings);

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
