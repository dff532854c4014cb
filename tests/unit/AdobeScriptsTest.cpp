#include <gtest/gtest.h>

#include <string>

#include "AdobeScriptTexts.h"
#include "strategy/win/AdobeScripts.h"

namespace {

struct EscapeCase {
    const char *input;
    const char *expected;
};

TEST(AdobeScripts, EscapesEverythingOutsideTheSafeSet) {
    const EscapeCase cases[] = {
        {"ArialMT", "ArialMT"},
        {"Noto Sans-Bold_1.0", "Noto Sans-Bold_1.0"},
        {"", ""},
        {"O'Neil", "O\\u0027Neil"},
        {"a\"b\\c", "a\\u0022b\\u005Cc"},
        {"line\r\nbreak\t", "line\\u000D\\u000Abreak\\u0009"},
        {"\xE5\xAE\x8B\xE4\xBD\x93", "\\u5B8B\\u4F53"},  // 宋体
        {"\xC3\xA9", "\\u00E9"},                         // é
        {"\xF0\x9F\x98\x80", "\\uD83D\\uDE00"},          // outside the basic plane
        {"a\xFF"
         "b\xC3",
         "a\\uFFFDb\\uFFFD"},                       // invalid and cut-short bytes
        {"\xED\xA0\x80", "\\uFFFD\\uFFFD\\uFFFD"},  // encoded surrogate
        {"');app.quit();//", "\\u0027\\u0029\\u003Bapp.quit\\u0028\\u0029\\u003B\\u002F\\u002F"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(AdobeScripts::escapeForScript(c.input), c.expected) << c.input;
    }
}

TEST(AdobeScripts, CallsTheDefinedFunctionWithTheNamesInOrder) {
    EXPECT_EQ(AdobeScripts::photoshopScript("Ps'1"),
              std::string(AdobeScriptTexts::kPhotoshopScript) + "\r\nvorlaApplyPhotoshopFont('Ps\\u00271')");
    EXPECT_EQ(AdobeScripts::illustratorScript("PsName", "Fam"),
              std::string(AdobeScriptTexts::kIllustratorScript) + "\r\nvorlaApplyIllustratorFont('PsName','Fam');");
    EXPECT_EQ(AdobeScripts::inDesignScript("PsName", "Fam"),
              std::string(AdobeScriptTexts::kInDesignScript) + " vorlaApplyInDesignFont('PsName','Fam');");
    EXPECT_EQ(AdobeScripts::afterEffectsScript("PsName"),
              std::string(AdobeScriptTexts::kAfterEffectsScript) + " vorlaApplyAfterEffectsFont('PsName')");
    EXPECT_NE(std::string(AdobeScriptTexts::kPhotoshopScript).find("function vorlaApplyPhotoshopFont("),
              std::string::npos);
}

// Whatever the font is called, the scripts stay plain printable ASCII without
// double quotes, so the VBScript string and the command line keep their frame.
TEST(AdobeScripts, HostileNamesCannotLeaveTheirLiterals) {
    const std::string names[] = {"\"",
                                 "'",
                                 "\\",
                                 "\r\n",
                                 "\")\r\nCreateObject(\"WScript.Shell\").Run \"calc\"\r\n'",
                                 "\" -r evil.jsx \"",
                                 "\xE5\xAE\x8B\xE4\xBD\x93\xF0\x9F\x98\x80"};
    for (const auto &name : names) {
        const std::string singleLine[] = {AdobeScripts::inDesignScript(name, name),
                                          AdobeScripts::afterEffectsScript(name)};
        for (const auto &script : singleLine) {
            for (char c : script) {
                ASSERT_TRUE(c >= 0x20 && c <= 0x7E && c != '"') << "byte " << int(c) << " for " << name;
            }
        }
        std::string vbs = AdobeScripts::inDesignVbscript(AdobeScripts::inDesignScript(name, name));
        std::string prelude = AdobeScriptTexts::kInDesignPrelude;
        ASSERT_EQ(vbs.compare(0, prelude.size(), prelude), 0);
        EXPECT_EQ(vbs.substr(prelude.size()), "main(\"" + AdobeScripts::inDesignScript(name, name) + "\")\r\n");
    }
}

}  // namespace
