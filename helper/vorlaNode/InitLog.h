#pragma once
// Logging set-up of both deliverables (easylogging++, logger "default").
#include <string>

namespace VorlaNode {
struct VorlaConfig;

// The line format shared by both deliverables.
inline constexpr const char *kLogFormat = "[%level | %datetime | %user ] | %msg";

// VorlaNode.dll: configures every registered logger from the configuration record and writes
// the "[初始化]" line. A null or empty logPath configures no file name.
void initLog(const VorlaConfig &config);

// Marlet.exe: library defaults, the shared format, standard output only (file "nul").
void initInstallerLog();

// The file name handed to the logging library for logPath + stem (exposed for tests):
// "<logPath><stem>_%datetime{%Y%M%d}.log", or, when that text cannot pass through the ANSI
// code page, the same file reached through its short (8.3) name.
std::string logFileNameFor(const std::string &logPath, const std::string &stem);
}  // namespace VorlaNode
