#include "strategy/win/AdobeScripts.h"

#include <cstdint>
#include <cstdio>

#include "AdobeScriptTexts.h"
#include "common/Text.h"

namespace AdobeScripts {
namespace {

// The name after "function " in a script body: the function the call invokes.
std::string functionNameOf(const std::string &body) {
    const std::string keyword = "function ";
    std::size_t start = body.find(keyword) + keyword.size();
    return body.substr(start, body.find('(', start) - start);
}

bool isSafe(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '_' ||
           c == '.' || c == '-';
}

void appendUnit(std::string &out, unsigned unit) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", unit);
    out += buffer;
}

std::string call(const std::string &body, const std::string &separator, const std::string &arguments,
                 const std::string &end) {
    return body + separator + functionNameOf(body) + "(" + arguments + ")" + end;
}

std::string literal(const std::string &text) { return "'" + escapeForScript(text) + "'"; }

}  // namespace

std::string escapeForScript(const std::string &utf8) {
    std::string out;
    for (char16_t unit : vorla::utf8ToUtf16(utf8)) {
        if (isSafe(unit)) {
            out += static_cast<char>(unit);
        } else {
            appendUnit(out, unit);
        }
    }
    return out;
}

std::string photoshopScript(const std::string &postscriptName) {
    return call(AdobeScriptTexts::kPhotoshopScript, "\r\n", literal(postscriptName), "");
}

std::string illustratorScript(const std::string &postscriptName, const std::string &family) {
    return call(AdobeScriptTexts::kIllustratorScript, "\r\n", literal(postscriptName) + "," + literal(family), ";");
}

std::string inDesignScript(const std::string &postscriptName, const std::string &family) {
    return call(AdobeScriptTexts::kInDesignScript, " ", literal(postscriptName) + "," + literal(family), ";");
}

std::string afterEffectsScript(const std::string &postscriptName) {
    return call(AdobeScriptTexts::kAfterEffectsScript, " ", literal(postscriptName), "");
}

std::string inDesignVbscript(const std::string &javaScript) {
    return std::string(AdobeScriptTexts::kInDesignPrelude) + "main(\"" + javaScript + "\")\r\n";
}

}  // namespace AdobeScripts
