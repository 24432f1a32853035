#include "json/project_paths.h"

namespace zelor::config {

bool isPathSegment(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

bool isProjectFilePath(std::string_view relPath) {
  const std::string_view::size_type slash = relPath.find('/');
  if (slash == std::string_view::npos) return false;
  return isPathSegment(relPath.substr(0, slash)) && isPathSegment(relPath.substr(slash + 1));
}

bool hasParentSegment(std::string_view path) {
  while (!path.empty()) {
    const std::string_view::size_type slash = path.find('/');
    if (path.substr(0, slash) == "..") return true;
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return false;
}

}  // namespace zelor::config
