#include "FontJson.h"

#include <utility>

namespace {

void writeMember(Tovik::RapidJsonHelper::JsonWriter &writer, const char *name, const std::string &text) {
    writer.Key(name);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

}  // namespace

void FontJSONObj::serialize(Tovik::RapidJsonHelper::JsonWriter &writer) const {
    writer.StartObject();
    writeMember(writer, "family", family);
    writeMember(writer, "path", path);
    writeMember(writer, "postscriptName", postscriptName);
    writeMember(writer, "style", style);
    writer.EndObject();
}

void FontJSONObj::deserialize(const rapidjson::Value &value) {
    if (!value.IsObject()) return;
    for (auto member = value.MemberBegin(); member != value.MemberEnd(); ++member) {
        if (!member->value.IsString()) continue;
        const std::string name(member->name.GetString(), member->name.GetStringLength());
        std::string text(member->value.GetString(), member->value.GetStringLength());
        if (name == "family")
            family = std::move(text);
        else if (name == "path")
            path = std::move(text);
        else if (name == "postscriptName")
            postscriptName = std::move(text);
        else if (name == "style")
            style = std::move(text);
    }
}

Result::Result(int status) : code(std::to_string(status)) {}

ResultStr::ResultStr(int status, std::string text) : Result(status), data(std::move(text)) {}

void ResultStr::serialize(Tovik::RapidJsonHelper::JsonWriter &writer) const {
    writer.StartObject();
    writeMember(writer, "data", data);
    writeMember(writer, "code", code);
    writer.EndObject();
}

std::vector<FontJSONObj> parseFontList(const std::string &json) {
    std::vector<FontJSONObj> fonts;
    rapidjson::Document document;
    // Iterative: a deeply nested list costs heap, not stack, and is refused like any other.
    document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
    if (document.HasParseError() || !document.IsArray()) return fonts;
    for (const auto &element : document.GetArray()) {
        if (!element.IsObject()) continue;
        FontJSONObj font;
        font.deserialize(element);
        fonts.push_back(std::move(font));
    }
    return fonts;
}

std::string resultListToJson(const std::vector<ResultStr> &results) {
    rapidjson::StringBuffer buffer;
    Tovik::RapidJsonHelper::JsonWriter writer(buffer);
    writer.StartArray();
    for (const auto &result : results) result.serialize(writer);
    writer.EndArray();
    return std::string(buffer.GetString(), buffer.GetSize());
}
