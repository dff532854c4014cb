// Script-literal escaping and the script builders: escaped texts hold only the allowed
// characters and decode back to the input; every builder wraps the escaped names in
// single quotes after the fixed body, and nothing a name holds can end the literal.
#include "FuzzCheck.h"
#include "AdobeScriptTexts.h"
#include "common/Text.h"
#include "strategy/win/AdobeScripts.h"

#include <cstdint>

namespace {

bool isPlain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '_' ||
           c == '.' || c == '-';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes the escaped form; false when it holds anything but plain characters and \uXXXX.
bool decode(const std::string &escaped, std::u16string &units) {
    for (size_t i = 0; i < escaped.size();) {
        if (isPlain(escaped[i])) {
            units += static_cast<char16_t>(escaped[i++]);
            continue;
        }
        if (escaped.compare(i, 2, "\\u") != 0 || i + 6 > escaped.size()) return false;
        unsigned value = 0;
        for (size_t k = i + 2; k < i + 6; ++k) {
            const int digit = hexValue(escaped[k]);
            if (digit < 0) return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        units += static_cast<char16_t>(value);
        i += 6;
    }
    return true;
}

std::string startsWith(const std::string &text, const std::string &prefix) {
    FUZZ_CHECK(text.compare(0, prefix.size(), prefix) == 0);
    return text.substr(prefix.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size) {
    // Two names: the input split at its first NUL (absent: the second is empty).
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t cut = input.find('\0');
    const std::string first = input.substr(0, cut);
    const std::string second = cut == std::string::npos ? std::string() : input.substr(cut + 1);

    for (const std::string *name : {&first, &second}) {
        const std::string escaped = AdobeScripts::escapeForScript(*name);
        std::u16string units;
        FUZZ_CHECK(decode(escaped, units));
        FUZZ_CHECK(units == vorla::utf8ToUtf16(*name));
        if (fuzzcheck::isValidUtf8(*name)) FUZZ_CHECK(vorla::utf16ToUtf8(units) == *name);
    }
    const std::string a = "'" + AdobeScripts::escapeForScript(first) + "'";
    const std::string b = "'" + AdobeScripts::escapeForScript(second) + "'";
    FUZZ_CHECK(startsWith(AdobeScripts::photoshopScript(first), AdobeScriptTexts::kPhotoshopScript) ==
               "\r\nvorlaApplyPhotoshopFont(" + a + ")");
    FUZZ_CHECK(startsWith(AdobeScripts::illustratorScript(first, second), AdobeScriptTexts::kIllustratorScript) ==
               "\r\nvorlaApplyIllustratorFont(" + a + "," + b + ");");
    const std::string inDesign = AdobeScripts::inDesignScript(first, second);
    FUZZ_CHECK(startsWith(inDesign, AdobeScriptTexts::kInDesignScript) ==
               " vorlaApplyInDesignFont(" + a + "," + b + ");");
    FUZZ_CHECK(startsWith(AdobeScripts::afterEffectsScript(first), AdobeScriptTexts::kAfterEffectsScript) ==
               " vorlaApplyAfterEffectsFont(" + a + ")");
    // The InDesign script travels inside a VBScript string: no double quote, no line break.
    const std::string vbs = AdobeScripts::inDesignVbscript(inDesign);
    FUZZ_CHECK(startsWith(vbs, AdobeScriptTexts::kInDesignPrelude) == "main(\"" + inDesign + "\")\r\n");
    FUZZ_CHECK(inDesign.find_first_of("\"\r\n") == std::string::npos);
    return 0;
}
