#pragma once

#include <string>

namespace zelor::common::util {

// Replaces path with text so that a crash leaves either the old or the new
// file: a temporary file in the same folder, flushed to disk, then renamed
// over path. A replaced file keeps its mode; a new one gets 0644. False when
// any step fails (the temporary file is then removed).
bool writeFileAtomic(const std::string& path, const std::string& text);

// Creates every missing folder level of path with mkdir(2), mode 0775.
// True when path is a folder afterwards.
bool makeFolders(const std::string& path);

}  // namespace zelor::common::util
