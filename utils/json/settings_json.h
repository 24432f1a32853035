#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <json/value.h>

#include "json/project_records.h"

// The loading pattern shared by every loader of the settings reader: read a
// file into a document, test for members, convert values without letting a
// value of the wrong kind throw, clamp to a limit triple, save crash-safely.
namespace zelor::config {

// Full path of a file below the project directory.
std::string projectPath(const char* relative);

bool fileExists(const std::string& path);

// Parses path into root; false with the parser's text in errors when the file
// cannot be opened or parsed (root then holds what the parser left).
bool parseFile(const std::string& path, Json::Value& root, std::string& errors);

// How a parse failure is reported: with the parser's text, or as "nothing".
enum class ParseFailure { kParserText, kNothing };

// Reads path into root. A file that cannot be opened leaves root null without
// a line; a parse failure logs "read file[%s] error:%s" (or "..., nothing")
// once; a null document logs "read file[%s] error, nothing". func names the
// loader in the line.
void readSettings(const std::string& path, Json::Value& root, const char* func,
                  ParseFailure failure = ParseFailure::kParserText);

// True when parent has no member key or it is null. An object (or a null
// parent) gets the absent member as null, as the non-const access does; a
// parent of another kind is left alone and has no members.
bool isMissing(Json::Value& parent, const char* key);

// JsonCpp's conversions, with a value that cannot be converted (or a number
// outside the target's range) giving nothing instead of an exception.
template <typename T>
std::optional<T> convert(const Json::Value& value);
template <>
std::optional<float> convert<float>(const Json::Value& value);
template <>
std::optional<double> convert<double>(const Json::Value& value);
template <>
std::optional<int> convert<int>(const Json::Value& value);
template <>
std::optional<unsigned> convert<unsigned>(const Json::Value& value);
template <>
std::optional<bool> convert<bool>(const Json::Value& value);
template <>
std::optional<std::string> convert<std::string>(const Json::Value& value);

// Logs that key holds a value of the wrong kind (it then counts as missing).
void logWrongKind(const char* func, const char* key);

// The member key converted to T; nothing when it is missing or of the wrong
// kind (the latter logged).
template <typename T>
std::optional<T> member(Json::Value& parent, const char* key, const char* func) {
  if (isMissing(parent, key)) return std::nullopt;
  std::optional<T> v = convert<T>(parent[key]);
  if (!v) logWrongKind(func, key);
  return v;
}

// Array element i converted to T; logs a value of the wrong kind.
template <typename T>
std::optional<T> element(Json::Value& array, unsigned i, const char* key, const char* func) {
  std::optional<T> v = convert<T>(array[i]);
  if (!v) logWrongKind(func, key);
  return v;
}

// Copies text into a fixed field, cut to fit with its terminator.
void copyText(char* field, std::size_t size, const std::string& text);

// Min first, then max: a triple with min > max yields max.
inline float clampToLimit(float v, const st_triple& t) {
  if (v < t.min) v = t.min;
  if (v > t.max) v = t.max;
  return v;
}

// A limit object {"def", "min", "max"}; each missing member takes def 50,
// min 1, max 100. Nothing when value is not an object.
std::optional<st_triple> readTriple(Json::Value& value, const char* key, const char* func);

// The value in Json::StyledWriter's layout (three-space indent, short arrays
// on one line), as the project files are written.
std::string styledText(const Json::Value& value);

// Writes text to path crash-safely: a temporary file in the same folder,
// flushed to disk, then renamed over path. False when any step fails.
bool saveTextFile(const std::string& path, const std::string& text);

}  // namespace zelor::config
