#include "FindingJson.h"

#include <cstdint>

HealthFinding findingOf(const rapidjson::Value &object) {
    HealthFinding finding;
    for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member) {
        const std::string name(member->name.GetString(), member->name.GetStringLength());
        const rapidjson::Value &value = member->value;
        if (value.IsString()) {
            std::string text(value.GetString(), value.GetStringLength());
            if (name == "kind")
                finding.kind = healthKindOf(text);
            else if (name == "valueName")
                finding.valueName = std::move(text);
            else if (name == "path")
                finding.path = std::move(text);
            else if (name == "detail")
                finding.detail = std::move(text);
            else if (name == "postscriptName")
                finding.postscriptName = std::move(text);
        } else if (value.IsInt64()) {
            const std::int64_t number = value.GetInt64();
            const bool isInt = number >= INT32_MIN && number <= INT32_MAX;
            if (name == "scope" && isInt)
                finding.scope = static_cast<HealthScope>(number);
            else if (name == "group" && isInt)
                finding.group = static_cast<int>(number);
            else if (name == "fontRevision" && number >= 0 && number <= UINT32_MAX)
                finding.fontRevision = static_cast<std::uint32_t>(number);
            else if (name == "size")
                finding.size = number;
        } else if (value.IsBool() && name == "keep") {
            finding.keep = value.GetBool();
        }
    }
    return finding;
}

std::vector<HealthFinding> parseFindingList(const std::string &json) {
    std::vector<HealthFinding> findings;
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
    if (document.HasParseError() || !document.IsArray()) return findings;
    for (const auto &element : document.GetArray())
        if (element.IsObject()) findings.push_back(findingOf(element));
    return findings;
}
