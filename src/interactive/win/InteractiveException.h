#pragma once

#include <exception>
#include <string>

#include "common/PlatformError.h"

// Failures of the automation layer. Each stores "Error : " followed by the detail;
// the apply path does not tell the three apart, only what() reaches the log. A failure
// of a COM call also carries that call and its HRESULT (the frame that logs it adds them).
class InteractiveInvokeException : public std::exception, public vorla::PlatformFailure {
public:
    explicit InteractiveInvokeException(std::string detail, vorla::PlatformFailure failure = {})
        : vorla::PlatformFailure(failure), message("Error : " + std::move(detail)) {}
    const char *what() const noexcept override { return message.c_str(); }
    std::string message;
};

// A ProgID or member name that cannot be resolved.
class NotFoundInteractiveNameException : public std::exception, public vorla::PlatformFailure {
public:
    explicit NotFoundInteractiveNameException(std::string detail, vorla::PlatformFailure failure = {})
        : vorla::PlatformFailure(failure), message("Error : " + std::move(detail)) {}
    const char *what() const noexcept override { return message.c_str(); }
    std::string message;
};

// A missing automation object (application not running, property without object).
class NullPointerException : public std::exception, public vorla::PlatformFailure {
public:
    explicit NullPointerException(std::string detail, vorla::PlatformFailure failure = {})
        : vorla::PlatformFailure(failure), message("Error : " + std::move(detail)) {}
    const char *what() const noexcept override { return message.c_str(); }
    std::string message;
};

// The call and HRESULT of a failed COM call, for the exceptions above.
inline vorla::PlatformFailure comFailure(const char *call, long hr) {
    return vorla::PlatformFailure(call, static_cast<std::uint32_t>(hr), vorla::CodeKind::HResult);
}
