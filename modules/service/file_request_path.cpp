#include "service/file_request_path.h"

#include "install_paths.h"

namespace zelor::modules::service {

namespace {
// Index from which the "/" that ends the operation name is looked for.
constexpr std::size_t kOperationEndSearch = 8;
}  // namespace

std::vector<std::string> splitUri(std::string_view uri) {
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= uri.size()) {
    const std::size_t slash = uri.find('/', start);
    const std::size_t end = slash == std::string_view::npos ? uri.size() : slash;
    if (end > start) segments.emplace_back(uri.substr(start, end - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return segments;
}

std::optional<std::string> filePathOf(std::string_view uri) {
  if (uri.size() <= kOperationEndSearch) return std::nullopt;
  const std::size_t slash = uri.find('/', kOperationEndSearch);
  if (slash == std::string_view::npos) return std::nullopt;
  std::string path(zelor::paths::kProjectDir);
  path.append(uri.substr(slash));
  return path;
}

bool containsDotDot(std::string_view path) { return path.find("..") != std::string_view::npos; }

}  // namespace zelor::modules::service
