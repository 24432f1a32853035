#pragma once

// Files of the test's private project tree (system tests only).
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "install_paths.h"

namespace zelor::test {

inline std::string projectFile(const std::string& relative) {
  return std::string(paths::kProjectDir) + "/" + relative;
}

inline void writeProjectFile(const std::string& relative, const std::string& text) {
  const std::filesystem::path p = projectFile(relative);
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

inline std::string readProjectFile(const std::string& relative) {
  std::ifstream in(projectFile(relative), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void removeProjectFile(const std::string& relative) { std::filesystem::remove(projectFile(relative)); }

}  // namespace zelor::test
