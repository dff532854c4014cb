#pragma once
// The platform's own code of a failed call, kept beside the ERROR line that reports the
// failure: one DEBUG line naming the call and its code, written right after that line.
// The ERROR lines themselves stay as they are; the code goes to the line below them.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <system_error>

#include "easylogging++.h"

namespace vorla {

// How a code reads: a Win32 error (GetLastError, the result of a Reg* function) or an
// HRESULT (COM, the font system).
enum class CodeKind { Win32, HResult };

// The DEBUG line's text: "[平台调用]\t[<call>]\t(error <decimal>, 0x<hex>)" for a Win32
// error, "[平台调用]\t[<call>]\t(HRESULT 0x<hex>)" for an HRESULT.
inline std::string platformCodeText(const char *call, std::uint32_t code, CodeKind kind) {
    char number[48];
    if (kind == CodeKind::HResult) {
        std::snprintf(number, sizeof number, "(HRESULT 0x%08X)", static_cast<unsigned>(code));
    } else {
        std::snprintf(number, sizeof number, "(error %u, 0x%08X)", static_cast<unsigned>(code),
                      static_cast<unsigned>(code));
    }
    return std::string("[平台调用]\t[") + (call != nullptr ? call : "") + "]\t" + number;
}

// Writes the DEBUG line for `call` and `code`. Take the code before the ERROR line is
// written: logging may change the thread's last error. A failure to log is not passed on.
inline void logPlatformCode(const char *call, std::uint32_t code, CodeKind kind = CodeKind::Win32) noexcept {
    try {
        LOG(DEBUG) << platformCodeText(call, code, kind);
    } catch (...) {
    }
}

// What an exception knows of the platform call whose failure it reports. An exception
// class takes it as a second base; one made without a call (call() null) carries none.
class PlatformFailure {
public:
    PlatformFailure() = default;
    PlatformFailure(const char *call, std::uint32_t code, CodeKind kind) noexcept
        : call_(call), code_(code), kind_(kind) {}
    PlatformFailure(const PlatformFailure &) = default;
    PlatformFailure &operator=(const PlatformFailure &) = default;
    virtual ~PlatformFailure() = default;

    const char *call() const noexcept { return call_; }  // a text with static lifetime
    std::uint32_t platformCode() const noexcept { return code_; }
    CodeKind codeKind() const noexcept { return kind_; }

private:
    const char *call_ = nullptr;
    std::uint32_t code_ = 0;
    CodeKind kind_ = CodeKind::Win32;
};

// The DEBUG line for a caught exception that carries a code: a PlatformFailure with its
// call, else any std::system_error (a filesystem error, for one), named by its category
// ("system" for a Win32 error). Nothing for an exception without a code.
inline void logExceptionCode(const std::exception &e) noexcept {
    if (const auto *failure = dynamic_cast<const PlatformFailure *>(&e); failure != nullptr && failure->call()) {
        logPlatformCode(failure->call(), failure->platformCode(), failure->codeKind());
    } else if (const auto *error = dynamic_cast<const std::system_error *>(&e)) {
        logPlatformCode(error->code().category().name(), static_cast<std::uint32_t>(error->code().value()));
    }
}

}  // namespace vorla
