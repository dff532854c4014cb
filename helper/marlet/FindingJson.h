// The findings list of a repair run ("-r"): the front end hands back findings of the font
// health check, each a JSON object with the FontHealth record's member names.
#pragma once

#include "interactive/win/FontHealth.h"

#include <rapidjson/document.h>

#include <string>
#include <vector>

// One finding from one JSON object: "kind" (its name: "missingFile", ...), "scope" (0 per user,
// 1 all users), "valueName", "path", "detail", "postscriptName" (strings), "group",
// "fontRevision", "size" (numbers) and "keep" (true or false). A missing member keeps its
// default (size -1: not compared), a member of another type is ignored, the later of two
// duplicates wins; an unknown kind stays Unknown (its repair answers 1111).
HealthFinding findingOf(const rapidjson::Value &object);

// Parses a JSON array of finding objects as parseFontList parses fonts: any other root, or text
// that is not valid JSON, gives an empty list; elements that are not objects are skipped.
std::vector<HealthFinding> parseFindingList(const std::string &json);
