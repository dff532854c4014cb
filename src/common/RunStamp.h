#pragma once
// What names one run of a program for good: its process id and the time the process started
// (an id alone is reused once the process is gone). Names of work a run leaves behind (its
// journal records) carry it, so that another run can tell whether the run still lives.
#include <windows.h>

#include <cstdint>

namespace vorla {

struct RunStamp {
    DWORD process = 0;
    std::uint64_t start = 0;  // creation time of the process, as a FILETIME count
};

// This process.
RunStamp thisRun();
// True unless the run is known to be gone: no process of that id, one that has ended, or
// another process under the same id.
bool runLives(const RunStamp &run);

}  // namespace vorla
