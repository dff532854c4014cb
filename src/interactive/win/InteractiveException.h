#pragma once

#include <exception>
#include <string>

// Failures of the automation layer. Each stores "Error : " followed by the detail;
// the apply path does not tell the three apart, only what() reaches the log.
class InteractiveInvokeException : public std::exception {
public:
    explicit InteractiveInvokeException(std::string detail) : message("Error : " + std::move(detail)) {}
    const char *what() const noexcept override { return message.c_str(); }
    std::string message;
};

// A ProgID or member name that cannot be resolved.
class NotFoundInteractiveNameException : public std::exception {
public:
    explicit NotFoundInteractiveNameException(std::string detail) : message("Error : " + std::move(detail)) {}
    const char *what() const noexcept override { return message.c_str(); }
    std::string message;
};

// A missing automation object (application not running, property without object).
class NullPointerException : public std::exception {
public:
    explicit NullPointerException(std::string detail) : message("Error : " + std::move(detail)) {}
    const char *what() const noexcept override { return message.c_str(); }
    std::string message;
};
