#include "strategy/win/AdobeScripts.h"

#include <cstdint>
#include <cstdio>

#include "AdobeScriptTexts.h"

namespace AdobeScripts {
namespace {

// The name after "function " in a script body: the function the call invokes.
std::string functionNameOf(const std::string& body) {
    const std::string keyword = "function ";
    std::size_t start = body.find(keyword) + keyword.size();
    return body.substr(start, body.find('(', start) - start);
}

bool isSafe(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '_' ||
           c == '.' || c == '-';
}

void appendUnit(std::string& out, unsigned unit) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", unit);
    out += buffer;
}

// Decodes one UTF-8 sequence at `i`; advances `i`. Malformed input gives U+FFFD
// and consumes one byte.
char32_t nextCodePoint(const std::string& text, std::size_t& i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    static const char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return c;
}

std::string call(const std::string& body, const std::string& separator, const std::string& arguments,
                 const std::string& end) {
    return body + separator + functionNameOf(body) + "(" + arguments + ")" + end;
}

std::string literal(const std::string& text) { return "'" + escapeForScript(text) + "'"; }

}  // namespace

std::string escapeForScript(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = nextCodePoint(utf8, i);
        if (isSafe(c)) {
            out += static_cast<char>(c);
        } else if (c < 0x10000) {
            appendUnit(out, static_cast<unsigned>(c));
        } else {
            c -= 0x10000;
            appendUnit(out, 0xD800 + static_cast<unsigned>(c >> 10));
            appendUnit(out, 0xDC00 + static_cast<unsigned>(c & 0x3FF));
        }
    }
    return out;
}

std::string photoshopScript(const std::string& postscriptName) {
    return call(AdobeScriptTexts::kPhotoshopScript, "\r\n", literal(postscriptName), "");
}

std::string illustratorScript(const std::string& postscriptName, const std::string& family) {
    return call(AdobeScriptTexts::kIllustratorScript, "\r\n", literal(postscriptName) + "," + literal(family), ";");
}

std::string inDesignScript(const std::string& postscriptName, const std::string& family) {
    return call(AdobeScriptTexts::kInDesignScript, " ", literal(postscriptName) + "," + literal(family), ";");
}

std::string afterEffectsScript(const std::string& postscriptName) {
    return call(AdobeScriptTexts::kAfterEffectsScript, " ", literal(postscriptName), "");
}

std::string inDesignVbscript(const std::string& javaScript) {
    return std::string(AdobeScriptTexts::kInDesignPrelude) + "main(\"" + javaScript + "\")\r\n";
}

}  // namespace AdobeScripts
