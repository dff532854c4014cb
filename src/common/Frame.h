#pragma once
// The catch frame of the operations that answer with a status code.
#include <exception>
#include <string>

#include "common/PlatformError.h"
#include "common/Status.h"
#include "easylogging++.h"

namespace vorla {

// Which exceptions a status frame stops: the standard ones only, any other going on to an
// outer frame; or every exception, where nothing may pass (the library's exports).
enum class Stops { Standard, Everything };

// Runs `body` and returns its status. An exception the frame stops gives 1111 and one error
// line: the text `entry()` returns (made only then), followed by the exception's text, or by
// "unknown exception" for one not derived from std::exception; an exception that carries a
// platform code adds its DEBUG line (common/PlatformError.h). A failure to write these lines
// is not passed on.
template <Stops stops = Stops::Standard, class Body, class Entry>
int statusFrame(Body &&body, Entry &&entry) noexcept(stops == Stops::Everything) {
    const auto logError = [&entry](const char *what) noexcept {
        try {
            LOG(ERROR) << std::string(entry()) << what;
        } catch (...) {
        }
    };
    try {
        return body();
    } catch (const std::exception &e) {
        logError(e.what());
        logExceptionCode(e);
    } catch (...) {
        if constexpr (stops == Stops::Standard) throw;
        logError("unknown exception");
    }
    return Status::kException;
}

}  // namespace vorla
