#pragma once

#include <string_view>

// Names from outside (pendant, HTTP routes, project files) that become paths
// below the project folder. Each must stay inside its folder.
namespace zelor::config {

// One path segment: not empty, no '/', not "." or "..".
bool isPathSegment(std::string_view name);

// "<project>/<file>": exactly one '/', both sides a path segment.
bool isProjectFilePath(std::string_view relPath);

// True when some '/'-separated segment of path is "..".
bool hasParentSegment(std::string_view path);

}  // namespace zelor::config
