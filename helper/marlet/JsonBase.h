// Base class of the installer's JSON records: each record writes itself into a
// RapidJSON writer and fills itself from a parsed RapidJSON value.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace Tovik {
namespace RapidJsonHelper {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

class JsonBase {
public:
    virtual ~JsonBase() = default;
    // Writes the record as one JSON value. The base writes nothing.
    virtual void serialize(JsonWriter &writer) const { (void)writer; }
    // Fills the record from one JSON value. The base reads nothing.
    virtual void deserialize(const rapidjson::Value &value) { (void)value; }
};

}  // namespace RapidJsonHelper
}  // namespace Tovik
