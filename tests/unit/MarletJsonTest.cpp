// The installer's JSON records and command-line unquoting, in process.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "CommandLine.h"
#include "FontJson.h"

namespace {

// A JSON text in the form the front end passes it: every double quote as backslash-apostrophe.
std::string quoted(const std::string &json) {
    std::string out;
    for (char c : json) out += c == '"' ? std::string("\\'") : std::string(1, c);
    return out;
}

}  // namespace

TEST(MarletJson, FontListParsing) {
    struct Expected {
        std::string family, path, postscriptName, style;
    };
    struct Case {
        const char *what;
        std::string text;
        std::vector<Expected> fonts;
    };
    const std::vector<Case> cases = {
        {"all members, escapes decoded",
         R"([{"family":"A","path":"C:\\f\\a.ttf","postscriptName":"A-R","style":"Regular"},{"family":"\u4e2d"}])",
         {{"A", "C:\\f\\a.ttf", "A-R", "Regular"}, {"\xE4\xB8\xAD", "", "", ""}}},
        {"missing postscriptName is empty, extra members ignored",
         R"([{"path":"p","weight":700,"family":"F","extra":{"x":[1]}}])",
         {{"F", "p", "", ""}}},
        {"member order does not matter, the later duplicate wins",
         R"([{"style":"s","family":"first","family":"second"}])",
         {{"second", "", "", "s"}}},
        {"a recognised member that is not a string is skipped",
         R"([{"family":"kept","family":7,"path":null,"style":["x"],"postscriptName":true}])",
         {{"kept", "", "", ""}}},
        {"elements that are not objects are skipped",
         R"([1,"text",null,[],{"family":"only"},true,{}])",
         {{"only", "", "", ""}, {"", "", "", ""}}},
        {"empty array", "[]", {}},
        {"object root", R"({"family":"A"})", {}},
        {"string root", R"("[]")", {}},
        {"number root", "42", {}},
        {"not JSON", "fonts please", {}},
        {"truncated array", R"([{"family":"A"})", {}},
        {"trailing text", R"([{"family":"A"}] x)", {}},
        {"empty text", "", {}},
        {"200,000 nested arrays", std::string(200000, '[') + std::string(200000, ']'), {}},
        {"200,000 nested arrays, not closed", std::string(200000, '['), {}},
        {"nested objects inside a font",
         "[{\"extra\":" + std::string(100000, '[') + std::string(100000, ']') + ",\"family\":\"deep\"}]",
         {{"deep", "", "", ""}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto fonts = parseFontList(c.text);
        ASSERT_EQ(fonts.size(), c.fonts.size());
        for (size_t i = 0; i < fonts.size(); ++i) {
            EXPECT_EQ(fonts[i].family, c.fonts[i].family);
            EXPECT_EQ(fonts[i].path, c.fonts[i].path);
            EXPECT_EQ(fonts[i].postscriptName, c.fonts[i].postscriptName);
            EXPECT_EQ(fonts[i].style, c.fonts[i].style);
        }
    }
}

TEST(MarletJson, BackslashApostropheParsesLikeDoubleQuotes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"(\'\')", R"("")"},
        {R"(a\\'b)", R"(a\"b)"},     // only the backslash right before the apostrophe goes
        {R"(it's \)", R"(it's \)"},  // a lone apostrophe and a trailing backslash stay
        {R"(\'\'\')", R"(""")"},
    };
    for (const auto &[in, out] : cases) EXPECT_EQ(Marlet::unquote(in), out) << in;

    const std::string plain = R"([{"family":"A B","path":"C:\\Fonts\\dir\\","postscriptName":"AB"},{"path":"x\"y"}])";
    const auto direct = parseFontList(plain);
    const auto viaQuotes = parseFontList(Marlet::unquote(quoted(plain)));
    ASSERT_EQ(direct.size(), 2u);
    ASSERT_EQ(viaQuotes.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(viaQuotes[i].family, direct[i].family);
        EXPECT_EQ(viaQuotes[i].path, direct[i].path);
        EXPECT_EQ(viaQuotes[i].postscriptName, direct[i].postscriptName);
    }
    EXPECT_EQ(direct[0].path, "C:\\Fonts\\dir\\");
}

TEST(MarletJson, ResultListIsCompactWithCodesAsStrings) {
    const std::vector<std::pair<std::vector<int>, std::string>> cases = {
        {{}, "[]"},
        {{0}, R"([{"data":"","code":"0"}])"},
        {{1005, 0, -7}, R"([{"data":"","code":"1005"},{"data":"","code":"0"},{"data":"","code":"-7"}])"},
        {{INT_MIN, INT_MAX}, R"([{"data":"","code":"-2147483648"},{"data":"","code":"2147483647"}])"},
    };
    for (const auto &[codes, json] : cases) {
        std::vector<ResultStr> results;
        for (int code : codes) results.emplace_back(code, "");
        EXPECT_EQ(resultListToJson(results), json);
    }
    std::vector<ResultStr> withData;
    withData.emplace_back(3, "a\"b\n");
    EXPECT_EQ(resultListToJson(withData), R"([{"data":"a\"b\n","code":"3"}])");
}
