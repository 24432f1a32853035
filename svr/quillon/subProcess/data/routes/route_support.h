#pragma once

#include <cstdint>

#include <rapidjson/document.h>

#include "common/plugin/plugin_base.h"
#include "json/project_records.h"

namespace route_support {

inline constexpr int kOk = 200;
inline constexpr int kFailed = 500;

// A JSON number as int, truncated and held to the int range; false for
// anything else.
bool asInt(const rapidjson::Value& value, int& out);
// The member as int; false when it is missing or not a number.
bool memberInt(const rapidjson::Value& object, const char* name, int& out);
// The member, or null when the object lacks it (or is no object).
const rapidjson::Value* member(const rapidjson::Value& object, const char* name);
// A text member equal to `text`.
bool memberIs(const rapidjson::Value& object, const char* name, const char* text);
// A bool member that is true.
bool memberTrue(const rapidjson::Value& object, const char* name);

// Gives the reply back, or logs `error` when none came; true with a reply.
bool done(PluginBase& client, Packet* reply, const char* error);

// Copies frame `index` (0..kFrameCount-1) of the table into the record; true
// when the entry is enabled.
bool copyFrame(const st_coord* table, int index, tagCoordParamsFull& frame);

}  // namespace route_support
