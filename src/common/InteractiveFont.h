#pragma once
// The internal font argument of every interaction operation: four owned UTF-8 texts.
// A text the caller left null stays absent (std::nullopt), which is not the same as empty.
#include <optional>
#include <string>

struct InteractiveFont {
    std::optional<std::string> family;
    std::optional<std::string> path;
    std::optional<std::string> postscriptName;
    std::optional<std::string> style;
};

// The text, or "" when it is absent.
inline const std::string& textOf(const std::optional<std::string>& text) {
    static const std::string empty;
    return text ? *text : empty;
}
