#pragma once

#include <cstdint>
#include <string>

namespace zelor::sim {

// The data server's six entry points, resolved from the loaded libquillon.
struct QuillonApi {
  int (*createParameter)(void*);
  int (*startRobot)(void*);
  int (*plcUpdateDI)(unsigned char*);
  int (*plcUpdateDO)(unsigned char*);
  int (*robotCmd)(void*);
  int (*releaseRobot)();
  // libvantrel's collision-detection switch, reached through libquillon's
  // dependencies; null when the library does not export it.
  std::uint8_t* gIsCollisionDect;
};

// Loads libquillon (which brings libutils and libvantrel with it) and resolves
// the entry points. False with a message naming what is missing.
bool LoadQuillonLibrary(const std::string& path, QuillonApi& api, std::string& error);

}  // namespace zelor::sim
