// Marlet's command line, font-list reading and result writing. The input is read three ways:
// - as a font list: whatever parses, quoted the way frontend/marlet.js quotes it and passed
//   through the command line, comes back unchanged;
// - as arguments split at NUL: the command line never throws and hands on the unquoted list;
// - the parsed fonts' paths as result data: the result list parses back to the same entries.
#include "CommandLine.h"
#include "FontJson.h"
#include "FuzzCheck.h"
#include "common/Text.h"

#include <cstdint>

namespace {

// JSON.stringify of the list, then ' -> \u0027 and " -> \' (quoteFontList in frontend/marlet.js).
std::string quoteFontList(const std::vector<FontJSONObj> &fonts) {
    rapidjson::StringBuffer buffer;
    Tovik::RapidJsonHelper::JsonWriter writer(buffer);
    writer.StartArray();
    for (const FontJSONObj &font : fonts) font.serialize(writer);
    writer.EndArray();
    std::string out;
    for (const char *c = buffer.GetString(); *c != '\0'; ++c) {
        if (*c == '\'')
            out += "\\u0027";
        else if (*c == '"')
            out += "\\'";
        else
            out += *c;
    }
    return out;
}

// Front-end texts are JavaScript strings: valid UTF-8 here.
std::string wellFormed(const std::string &text) { return vorla::utf16ToUtf8(vorla::utf8ToUtf16(text)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);

    // A font list as the front end would send it.
    std::vector<FontJSONObj> fonts = parseFontList(input);
    for (FontJSONObj &font : fonts) {
        font.family = wellFormed(font.family);
        font.path = wellFormed(font.path);
        font.postscriptName = wellFormed(font.postscriptName);
        font.style = wellFormed(font.style);
    }
    const Marlet::Invocation run = Marlet::parseCommandLine(
        {"Marlet.exe", "-i", quoteFontList(fonts), "-w", "0", "-o", "r.json"});
    FUZZ_CHECK(run.action == Marlet::Action::Install);
    const std::vector<FontJSONObj> back = parseFontList(run.fontList);
    FUZZ_CHECK(back.size() == fonts.size());
    for (size_t i = 0; i < fonts.size(); ++i) {
        FUZZ_CHECK(back[i].family == fonts[i].family && back[i].path == fonts[i].path &&
                   back[i].postscriptName == fonts[i].postscriptName && back[i].style == fonts[i].style);
    }

    // Arbitrary arguments.
    std::vector<std::string> args = {"Marlet.exe"};
    for (size_t start = 0;;) {
        const size_t end = input.find('\0', start);
        args.push_back(input.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    const Marlet::Invocation any = Marlet::parseCommandLine(args);
    if (any.listFile) {
        // "@<file>": the list is read from that file later; nothing of it is on the command line.
        FUZZ_CHECK(any.fontList.empty());
    } else if (any.action == Marlet::Action::Install || any.action == Marlet::Action::Uninstall) {
        FUZZ_CHECK(!any.fontList.empty());
        FUZZ_CHECK(any.fontList.find("\\'") == std::string::npos);  // every pair was unquoted
        parseFontList(any.fontList);
    }
    if (any.action == Marlet::Action::Usage) FUZZ_CHECK(any.usage.rfind("Usage:", 0) == 0);

    // The result list of those fonts.
    std::vector<ResultStr> results;
    int status = 0;
    for (const FontJSONObj &font : parseFontList(input)) results.emplace_back(status++ * 1001, font.path);
    const std::string json = resultListToJson(results);
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
    FUZZ_CHECK(!document.HasParseError() && document.IsArray() && document.Size() == results.size());
    for (rapidjson::SizeType i = 0; i < document.Size(); ++i) {
        const rapidjson::Value &entry = document[i];
        FUZZ_CHECK(entry.IsObject() && entry.MemberCount() == 2 && entry["data"].IsString() &&
                   entry["code"].IsString());
        FUZZ_CHECK(std::string(entry["data"].GetString(), entry["data"].GetStringLength()) == results[i].data);
        FUZZ_CHECK(entry["code"].GetString() == results[i].code);
    }
    return 0;
}
