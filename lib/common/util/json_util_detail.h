#pragma once

// Helpers shared by the JsonUtil sources; not for other users.
#include <string>

#include <rapidjson/document.h>

namespace zelor::common::util::detail {

// Full path of a settings file below the project directory.
std::string settingsPath(const char* relative);

bool fileExists(const char* path);

// The value in the pretty writer's layout (indent 4 spaces). False when it
// cannot be written as JSON (a NaN or an infinity).
bool renderPretty(const rapidjson::Value& value, std::string& text);

// "[func] #line: can not find member key".
void printNoMember(const char* func, int line, const char* key);

// The integer value of a number, saturated to the 32-bit range; a fraction is
// cut off.
std::int32_t toInt32(const rapidjson::Value& number);

}  // namespace zelor::common::util::detail
