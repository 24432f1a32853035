#pragma once

// Reading one parameter document: the whole file, bounded, parsed with
// RapidJSON into an in-memory document.

#include <cstddef>
#include <string>

#include <rapidjson/document.h>

namespace tramlet_detail {

// Files above this size are refused like text that is not JSON.
inline constexpr std::size_t kMaxParamFileSize = 1024 * 1024;

enum class JsonFileResult { kOk, kCannotOpen, kTooLarge, kNotJson };

// Reads path whole into text and parses it into doc.
JsonFileResult readJsonFile(const std::string& path, std::string& text, rapidjson::Document& doc);

// Reads and parses one file, printing the failure lines: "can not open file
// <openName>!!!!!!", or "parse json faild!!!!!!" and the text (not for a file
// that is too large). True when doc holds the parsed document.
bool loadJsonFile(const std::string& path, const char* openName, rapidjson::Document& doc);

}  // namespace tramlet_detail
