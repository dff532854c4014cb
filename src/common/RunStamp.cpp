// What names one run of a program for good (see RunStamp.h).
#include "common/RunStamp.h"

#include "common/Raii.h"

namespace vorla {

namespace {

std::uint64_t startOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

RunStamp thisRun() {
    static const RunStamp run{GetCurrentProcessId(), startOf(GetCurrentProcess())};
    return run;
}

bool runLives(const RunStamp &run) {
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, run.process));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process: gone
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) return false;
    return startOf(process.get()) == run.start;
}

}  // namespace vorla
