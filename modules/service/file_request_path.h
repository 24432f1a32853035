#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelor::modules::service {

// The non-empty segments of a request URI split at "/".
std::vector<std::string> splitUri(std::string_view uri);

// The file a /file/<operation>/<path> URI names: the project directory
// followed by the URI from its first "/" at or after index 8; nothing when
// there is no such "/".
std::optional<std::string> filePathOf(std::string_view uri);

// A path holding ".." anywhere is refused by the file handlers.
bool containsDotDot(std::string_view path);

}  // namespace zelor::modules::service
