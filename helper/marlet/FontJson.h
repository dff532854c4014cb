// JSON records of the installer: the font list it reads and the result list it writes.
#pragma once

#include "JsonBase.h"

#include <string>
#include <vector>

// One font of the input list. Every member is a JSON string; a missing one stays "".
class FontJSONObj : public Tovik::RapidJsonHelper::JsonBase {
public:
    std::string family;
    std::string path;
    std::string postscriptName;
    std::string style;

    void serialize(Tovik::RapidJsonHelper::JsonWriter &writer) const override;
    // Reads the four recognised members of an object, in document order, so the later
    // of two duplicates wins. Other members, and recognised members whose value is not
    // a string, are ignored. A value that is not an object leaves the record unchanged.
    void deserialize(const rapidjson::Value &value) override;
};

// A status code kept as its decimal text.
class Result {
public:
    explicit Result(int status);
    std::string code;
};

// One entry of the result list: {"data":...,"code":"<status>"}.
class ResultStr : public Tovik::RapidJsonHelper::JsonBase, public Result {
public:
    ResultStr(int status, std::string text);
    std::string data;

    void serialize(Tovik::RapidJsonHelper::JsonWriter &writer) const override;
};

// Parses a JSON array of font objects. Any other root, or text that is not valid
// JSON, gives an empty list. Elements that are not objects are skipped. Nesting depth
// is bounded only by memory: the parser does not recurse.
std::vector<FontJSONObj> parseFontList(const std::string &json);

// Compact JSON array of the results, in order.
std::string resultListToJson(const std::vector<ResultStr> &results);
