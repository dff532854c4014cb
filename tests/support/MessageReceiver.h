// The stand-in front-end window (tests/fixtures/receiver, receiver.exe) from a test: starts it,
// hands out its window handle, and reads back every message in the WM_USER range it handled.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace testsupport {

// One message as the window recorded it, with the number of HKCU font entries at that moment.
struct Record {
    unsigned message = 0;
    unsigned long long wParam = 0;
    long long lParam = 0;
    long fontValues = 0;
};

// The window itself: up once the constructor returns with a handle (empty when it did not come up).
class Receiver {
public:
    // delayMs: how long the window spends on each message before it looks at the registry.
    // behaviour: {"answer", n, value} or {"hang", n} (see the fixture).
    explicit Receiver(const TempDir &dir, int delayMs = 0, const std::vector<std::wstring> &behaviour = {})
        : record_(dir / ("messages-" + std::to_string(counter()++) + ".txt")),
          process_(testProgram(L"receiver.exe"), argumentsOf(record_, delayMs, behaviour), {},
                   record_.wstring() + L".out", record_.wstring() + L".err") {
        for (int i = 0; i < 200 && process_.started(); ++i) {
            const std::string text = readFile(record_);
            const auto end = text.find('\n');
            if (end != std::string::npos && text.rfind("ready ", 0) == 0) {
                handle_ = text.substr(6, end - 6);
                return;
            }
            Sleep(25);
        }
        testsupport::noteHarnessFault("receiver.exe did not come up within 5 s");
    }
    ~Receiver() { stop(); }

    const std::string &handle() const { return handle_; }

    // Closes the window (ends the program after waitMs) and returns the messages it recorded.
    std::vector<Record> stop(DWORD waitMs = 10000) {
        if (!stopped_ && !handle_.empty()) {
            PostMessageW(reinterpret_cast<HWND>(static_cast<INT_PTR>(std::stoll(handle_))), WM_CLOSE, 0, 0);
            process_.wait(waitMs);
        }
        stopped_ = true;
        std::vector<Record> records;
        const auto recorded = lines(readFile(record_));
        for (size_t i = 1; i < recorded.size(); ++i) {
            Record r;
            std::sscanf(recorded[i].c_str(), "%u %llu %lld %ld", &r.message, &r.wParam, &r.lParam, &r.fontValues);
            records.push_back(r);
        }
        return records;
    }

private:
    static std::vector<std::wstring> argumentsOf(const fs::path &record, int delayMs,
                                                 const std::vector<std::wstring> &behaviour) {
        std::vector<std::wstring> args = {record.wstring(), std::to_wstring(delayMs)};
        args.insert(args.end(), behaviour.begin(), behaviour.end());
        return args;
    }
    static int &counter() {
        static int n = 0;
        return n;
    }
    fs::path record_;
    ChildProcess process_;
    std::string handle_;
    bool stopped_ = false;
};

inline std::string describe(const std::vector<Record> &records) {
    std::string out;
    for (const auto &r : records)
        out += std::to_string(r.message) + "/" + std::to_string(r.wParam) + "/" + std::to_string(r.lParam) + "/" +
               std::to_string(r.fontValues) + " ";
    return out;
}

}  // namespace testsupport
