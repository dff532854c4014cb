#pragma once
// Starts the office stand-in programs (tests/fixtures/office) for a test and
// stops them again; reads their call recordings.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "VorlaNode.h"
#include "common/Raii.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace office {

namespace fs = std::filesystem;

using testsupport::buildDir;

// The stand-in program of one image name ("WINWORD.EXE", "EXCEL.EXE", "POWERPNT.EXE", "wps.exe").
inline fs::path program(const std::string &imageName) { return buildDir() / "tests" / "bin" / "office" / imageName; }

using testsupport::quoteArgument;

// A fresh, empty directory for one fixture run.
inline fs::path freshDirectory() {
    static int serial = 0;
    const fs::path dir = fs::temp_directory_path() /
                         ("vorla-office-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

struct WindowSpec {
    std::wstring className, title;
    bool visible = true;
};

struct Options {
    std::vector<std::wstring> progIds = {};  // application objects to put into the running-object table
    std::vector<WindowSpec> windows = {};    // created in order; the last visible one is on top
    std::vector<std::wstring> failing = {};  // members whose every call fails
    std::vector<std::wstring> nulls = {};    // object properties that give no object
    // The harness's own test only: the first start whose marker file is missing makes it and never
    // says it is ready, as a start that hangs in Wine does (crashOnce: crashes instead); later starts
    // are ready as usual.
    std::wstring withholdReadyOnce = {};
    std::wstring crashOnce = {};
    int comeUpSeconds = 30;  // how long the start may take before it counts as failed
};

// One running stand-in process; stopped by the destructor.
class App {
public:
    App(const fs::path &exe, const Options &options) : dir_(freshDirectory()) {
        std::wstring command = quoteArgument(exe.wstring());
        command += L" --ready " + quoteArgument((dir_ / "ready").wstring());
        command += L" --record " + quoteArgument(recordPath().wstring());
        for (const auto &id : options.progIds) command += L" --progid " + quoteArgument(id);
        for (const auto &w : options.windows)
            command += (w.visible ? L" --window " : L" --hidden ") + quoteArgument(w.className) + L" " +
                       quoteArgument(w.title);
        for (const auto &m : options.failing) command += L" --fail " + quoteArgument(m);
        for (const auto &m : options.nulls) command += L" --null " + quoteArgument(m);
        if (!options.withholdReadyOnce.empty())
            command += L" --withhold-ready-once " + quoteArgument(options.withholdReadyOnce);
        if (!options.crashOnce.empty()) command += L" --crash-once " + quoteArgument(options.crashOnce);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(exe.wstring().c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &started)) {
            throw std::runtime_error("cannot start " + exe.u8string() + ": error " + std::to_string(GetLastError()));
        }
        process_.reset(started.hProcess);
        const vorla::UniqueHandle mainThread(started.hThread);  // only its id is needed
        processId_ = started.dwProcessId;
        threadId_ = started.dwThreadId;
        // A start takes well under a second, the registration in the running-object table included
        // (the harness's prefix is warmed). One that has not come up within comeUpSeconds, or ended
        // first, failed in Wine before the test touched it: the harness is told, and runs the test
        // again in a new session.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.comeUpSeconds);
        while (!fs::exists(dir_ / "ready")) {
            DWORD code = 0;
            if (GetExitCodeProcess(process_.get(), &code) && code != STILL_ACTIVE) {
                process_.reset();
                const std::string what = exe.u8string() + " ended early with code " + std::to_string(code);
                testsupport::noteHarnessFault(what);
                throw std::runtime_error(what);
            }
            if (std::chrono::steady_clock::now() > deadline) {
                stop();
                const std::string what = exe.u8string() + " did not come up within " +
                                         std::to_string(options.comeUpSeconds) + " s";
                testsupport::noteHarnessFault(what);
                throw std::runtime_error(what);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    App(const App &) = delete;
    App &operator=(const App &) = delete;
    ~App() {
        stop();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    int processId() const { return static_cast<int>(processId_); }
    fs::path recordPath() const { return dir_ / "calls.txt"; }

    // Every call the application objects received so far, one line each.
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream in(recordPath(), std::ios::binary);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    void stop() {
        if (!process_) return;
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        if (WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), 5000);
        }
        process_.reset();
    }

private:
    fs::path dir_;
    vorla::UniqueHandle process_;
    DWORD processId_ = 0, threadId_ = 0;
};

}  // namespace office

namespace office {

// The library's log file for one test: `initial` points it at a fresh folder.
class LibraryLog {
public:
    LibraryLog() : dir_("apps-log") {
        prefix_ = dir_.prefix();
        VorlaNode::VorlaConfig config{};
        config.logPath = prefix_.c_str();
        config.logName = "apps";
        initial(&config);
    }

    // Messages of the entries at one level ("INFO", "ERROR", ...). A message that
    // holds line breaks runs on over the lines that open no new entry.
    std::vector<std::string> entries(const std::string &level) const {
        static const char *const kLevels[] = {"INFO", "ERROR", "DEBUG", "WARNING", "FATAL", "TRACE", "VERBOSE"};
        std::vector<std::string> out;
        bool current = false;
        for (const fs::path &file : testsupport::filesIn(dir_.path())) {
            for (const std::string &line : testsupport::lines(testsupport::readFile(file))) {
                bool opensEntry = false;
                for (const char *name : kLevels) opensEntry |= line.rfind(std::string("[") + name + " | ", 0) == 0;
                if (opensEntry) {
                    current = line.rfind("[" + level + " | ", 0) == 0;
                    const size_t body = line.find("] | ");
                    if (current) out.push_back(body == std::string::npos ? line : line.substr(body + 4));
                } else if (current) {
                    out.back() += "\n" + line;
                }
            }
        }
        return out;
    }

private:
    testsupport::TempDir dir_;
    std::string prefix_;
};

}  // namespace office
