// Records the lines that this process logs through easylogging++ while it lives,
// so a test can check exact messages and levels of code it calls directly.
#pragma once

#include "easylogging++.h"

#include <mutex>
#include <string>
#include <vector>

struct CapturedLine {
    el::Level level;
    std::string message;
};

class LogCapture {
public:
    LogCapture() {
        std::lock_guard<std::mutex> lock(mutex());
        lines().clear();
        el::Helpers::installLogDispatchCallback<Collector>(kId);
    }
    ~LogCapture() { el::Helpers::uninstallLogDispatchCallback<Collector>(kId); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    std::vector<CapturedLine> all() const {
        std::lock_guard<std::mutex> lock(mutex());
        return lines();
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const CapturedLine &line : all()) out.push_back(line.message);
        return out;
    }
    std::vector<std::string> at(el::Level level) const {
        std::vector<std::string> out;
        for (const CapturedLine &line : all()) {
            if (line.level == level) out.push_back(line.message);
        }
        return out;
    }

private:
    static constexpr const char *kId = "LogCapture";
    static std::mutex &mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<CapturedLine> &lines() {
        static std::vector<CapturedLine> l;
        return l;
    }
    class Collector : public el::LogDispatchCallback {
    protected:
        void handle(const el::LogDispatchData *data) override {
            if (data->dispatchAction() != el::base::DispatchAction::NormalLog) return;
            std::lock_guard<std::mutex> lock(mutex());
            lines().push_back({data->logMessage()->level(), data->logMessage()->message()});
        }
    };
};
