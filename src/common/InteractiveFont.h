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

// An owned copy of one of a record's texts: a C text that is null stays absent; a
// std::string is always present.
inline std::optional<std::string> ownedText(const char *text) {
    if (text == nullptr) return std::nullopt;
    return std::string(text);
}
inline std::optional<std::string> ownedText(const std::string &text) { return text; }

// The font argument from the four texts of a record that names them `family`, `path`,
// `postscriptName` and `style` (the exchange records, the installer's font list entries).
template <class Record>
InteractiveFont interactiveFontOf(const Record &record) {
    return {ownedText(record.family), ownedText(record.path), ownedText(record.postscriptName),
            ownedText(record.style)};
}

// The text, or "" when it is absent.
inline const std::string &textOf(const std::optional<std::string> &text) {
    static const std::string empty;
    return text ? *text : empty;
}
